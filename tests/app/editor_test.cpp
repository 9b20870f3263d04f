// The task editor: adding and editing tasks, and the title rules that keep a folder's titles
// present and distinct.
#include "tests/app/app_fixture.h"

#include "tests/app/ui_texts.h"
#include "tests/support/local_date.h"

class EditorAddTest : public PelmoraUiTest {
protected:
    void SetUp() override {
        PelmoraUiTest::SetUp();
        if (IsSkipped()) return;
        Seed(L"Proj", {{"existing"}});
        ASSERT_TRUE(Launch(L"Proj"));
    }

    // Opens the editor with Insert and types `title` into the title field.
    void OpenWithTitle(const std::wstring& title) {
        PressInMain(VK_INSERT);
        ASSERT_TRUE(WaitEditor()) << "Insert did not open the editor";
        EXPECT_EQ(L"", Field(kTitleFieldId));
        EXPECT_FALSE(DoneChecked());
        SetField(kTitleFieldId, title);
    }

    // Saves with Enter in the title field and expects the editor to stay open with a warning.
    void ExpectRefused(const std::wstring& caption, const std::wstring& text) {
        PressInEditor(VK_RETURN);
        EXPECT_TRUE(ExpectBox(caption, text));
        EXPECT_TRUE(IsWindowVisible(editor_)) << "the editor closed after a refused title";
    }
};

TEST_F(EditorAddTest, NewTasksAreStoredAndShownLastWithTodaysDate) {
    const LocalDateSpan today;
    ASSERT_TRUE(AddTask(L"  Write the report\t ", L"line one\r\nline two  ", true));
    EXPECT_EQ((std::vector<std::wstring>{L"existing", L"Write the report\t"}), Shown());
    const auto stored = Stored(L"Proj");
    ASSERT_EQ(2u, stored.size());
    // Only spaces are cut from the title; the description is kept as typed.
    EXPECT_EQ("Write the report\t", stored[1].title);
    EXPECT_EQ("line one\r\nline two  ", stored[1].description.value_or("(none)"));
    EXPECT_TRUE(stored[1].done);
    EXPECT_TRUE(today.Holds(stored[1].doneDate));
    EXPECT_EQ(1, stored[1].priority);
}

TEST_F(EditorAddTest, EmptyTitleIsWarning1AndSpacesOnlyWarning2) {
    OpenWithTitle(L"");
    ExpectRefused(Ui(TextId::kCaptionWarning1), Ui(TextId::kTitleEmpty));
    EXPECT_EQ(1u, Stored(L"Proj").size());
    SetField(kTitleFieldId, L"    ");
    ExpectRefused(Ui(TextId::kCaptionWarning2), Ui(TextId::kTitleEmpty));
    EXPECT_EQ(L"    ", Field(kTitleFieldId)) << "the user's input was changed";
    EXPECT_EQ(1u, Stored(L"Proj").size());
}

TEST_F(EditorAddTest, DuplicateTitleIsRefusedButOtherCaseIsAccepted) {
    // Another program adds a task while the editor is open: its title is taken as well, and the
    // list shows it once the editor closes.
    OpenWithTitle(L"added elsewhere");
    Seed(L"Proj", {{"added elsewhere"}});
    ExpectRefused(Ui(TextId::kCaptionWarning), Ui(TextId::kTitleExists));
    SetField(kTitleFieldId, L"  existing ");
    ExpectRefused(Ui(TextId::kCaptionWarning), Ui(TextId::kTitleExists));
    EXPECT_EQ(1, ListCount(list_));
    SetField(kTitleFieldId, L"Existing");
    ClickSave();
    ASSERT_TRUE(WaitEditorGone());
    EXPECT_EQ((std::vector<std::string>{"existing", "added elsewhere", "Existing"}),
              StoredTitles(L"Proj"));
    PressInMain(VK_INSERT);
    ASSERT_TRUE(WaitEditor());
    PressInEditor(VK_ESCAPE);
    ASSERT_TRUE(WaitEditorGone());
    EXPECT_EQ((std::vector<std::wstring>{L"existing", L"added elsewhere", L"Existing"}), Shown());
}

TEST_F(EditorAddTest, EscapeClosesWithoutSaving) {
    OpenWithTitle(L"never saved");
    PressInEditor(VK_ESCAPE);
    ASSERT_TRUE(WaitEditorGone());
    EXPECT_EQ(1, ListCount(list_));
    EXPECT_EQ(1u, Stored(L"Proj").size());
    ASSERT_TRUE(CloseMain());
    EXPECT_FALSE(FileExists(StatusPath())) << "nothing was added, yet the status was written";
}

class EditorEditTest : public PelmoraUiTest {
protected:
    void SetUp() override {
        PelmoraUiTest::SetUp();
        if (IsSkipped()) return;
        Seed(L"Proj", {{"alpha", false, "2020-01-02", std::string("first line\r\nsecond")},
                       {"beta", true, "2021-03-04"},
                       {"gamma"}});
        ASSERT_TRUE(Launch(L"Proj"));
    }

    // Selects entry `index` and opens the editor on it with Enter.
    void EditWithEnter(int index) {
        ASSERT_TRUE(SelectEntry(index));
        PressInMain(VK_RETURN);
        ASSERT_TRUE(WaitEditor()) << "Enter did not open the editor";
    }
};

TEST_F(EditorEditTest, EnterAndDoubleClickOpenTheirEntryWithItsFields) {
    EditWithEnter(0);
    EXPECT_EQ(L"alpha", Field(kTitleFieldId));
    EXPECT_EQ(L"first line\r\nsecond", Field(kDescriptionFieldId));
    EXPECT_FALSE(DoneChecked());
    PressInEditor(VK_ESCAPE);
    ASSERT_TRUE(WaitEditorGone());

    // A double click opens the entry under the mouse, not the selected one.
    BringToFront(main_);
    DoubleClickAt(ListEntryCentre(list_, 1));
    ASSERT_TRUE(WaitEditor()) << "a double click did not open the editor";
    EXPECT_EQ(L"beta", Field(kTitleFieldId));
    EXPECT_EQ(L"", Field(kDescriptionFieldId));
    EXPECT_TRUE(DoneChecked());
    PressInEditor(VK_ESCAPE);
    ASSERT_TRUE(WaitEditorGone());
}

TEST_F(EditorEditTest, NewTitleAndDescriptionReplaceTheStoredRow) {
    EditWithEnter(0);
    SetField(kTitleFieldId, L" alpha renamed ");
    SetField(kDescriptionFieldId, L"");
    ClickSave();
    ASSERT_TRUE(WaitEditorGone());
    EXPECT_EQ(L"alpha renamed", ListText(list_, 0));
    const auto stored = Stored(L"Proj");
    ASSERT_EQ(3u, stored.size());
    EXPECT_EQ("alpha renamed", stored[0].title);
    EXPECT_FALSE(stored[0].description.has_value());
    EXPECT_EQ("2020-01-02", stored[0].doneDate) << "the date changed without a done change";
    EXPECT_EQ(0, stored[0].priority);
    ASSERT_TRUE(CloseMain());
    EXPECT_FALSE(FileExists(StatusPath())) << "a text-only edit wrote the status file";
}

TEST_F(EditorEditTest, UncheckingADoneTaskStoresOpenWithToday) {
    const LocalDateSpan today;
    EditWithEnter(1);
    ClickDoneBox();
    EXPECT_FALSE(DoneChecked());
    ClickSave();
    ASSERT_TRUE(WaitEditorGone());
    const auto stored = Stored(L"Proj");
    ASSERT_EQ(3u, stored.size());
    EXPECT_FALSE(stored[1].done);
    EXPECT_TRUE(today.Holds(stored[1].doneDate));
    ASSERT_TRUE(CloseMain());
    EXPECT_EQ(1, StatusEntry(L"Proj")) << "a done change must rewrite the folder's status";
}

TEST_F(EditorEditTest, AnotherTasksTitleIsRefusedItsOwnIsNot) {
    EditWithEnter(2);
    SetField(kTitleFieldId, L"alpha");
    PressInEditor(VK_RETURN);
    EXPECT_TRUE(ExpectBox(Ui(TextId::kCaptionWarning), Ui(TextId::kTitleExists)));
    EXPECT_EQ((std::vector<std::wstring>{L"alpha", L"beta", L"gamma"}), Shown());
    EXPECT_EQ((std::vector<std::string>{"alpha", "beta", "gamma"}), StoredTitles(L"Proj"));
    // Its own title, with spaces around it, saves without a warning.
    SetField(kTitleFieldId, L"  gamma  ");
    PressInEditor(VK_RETURN);
    ASSERT_TRUE(WaitEditorGone()) << "saving an unchanged title was refused";
    EXPECT_EQ((std::vector<std::string>{"alpha", "beta", "gamma"}), StoredTitles(L"Proj"));
}

TEST_F(EditorEditTest, EmptyAndSpacesOnlyTitlesAreBothWarning1) {
    EditWithEnter(0);
    SetField(kTitleFieldId, L"");
    PressInEditor(VK_RETURN);
    EXPECT_TRUE(ExpectBox(Ui(TextId::kCaptionWarning1), Ui(TextId::kTitleEmpty)));
    SetField(kTitleFieldId, L"   ");
    PressInEditor(VK_RETURN);
    EXPECT_TRUE(ExpectBox(Ui(TextId::kCaptionWarning1), Ui(TextId::kTitleEmpty)));
    PressInEditor(VK_ESCAPE);
    ASSERT_TRUE(WaitEditorGone());
    EXPECT_EQ("alpha", Stored(L"Proj")[0].title);
}
