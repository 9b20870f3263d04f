; Setup's and the uninstaller's own texts in Russian (Windows' terms: Проводник, папка Program
; Files).

LangString NEEDS_ADMIN ${LANG_RUSSIAN} "Программе установки ${PRODUCT} нужны права администратора: \
    она устанавливает файлы в папку Program Files и регистрирует расширение Проводника для всех \
    пользователей.$\r$\n$\r$\nЩёлкните файл правой кнопкой мыши и выберите «Запуск от имени \
    администратора». Ничего не изменено."
LangString NOT_ON_ARM ${LANG_RUSSIAN} "${PRODUCT} работает только в Windows x64 и x86: Проводник \
    Windows на ARM не может загрузить его расширение. Ничего не изменено."
LangString REGISTERING ${LANG_RUSSIAN} "Регистрация расширения Проводника"
LangString NOT_REGISTERED ${LANG_RUSSIAN} "Не удалось зарегистрировать расширение Проводника \
    (regsvr32 завершился с кодом $0).$\r$\n$\r$\nПрограмма установки отменила установку."
LangString NOT_REGISTERED_UNDONE ${LANG_RUSSIAN} "Не удалось зарегистрировать расширение \
    Проводника; установка отменена."
LangString ADDING_TO_PATH ${LANG_RUSSIAN} "Добавление $INSTDIR в PATH"
LangString PATH_NOT_CHANGED ${LANG_RUSSIAN} "Не удалось изменить PATH ($0); pelmora-cli запускается \
    из $INSTDIR"
LangString TAKING_OUT_OF_PATH ${LANG_RUSSIAN} "Удаление $INSTDIR из PATH"
LangString UNREGISTERING ${LANG_RUSSIAN} "Отмена регистрации расширения Проводника"
