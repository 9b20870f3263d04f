; Setup's and the uninstaller's own texts in Japanese (Windows' terms: エクスプローラー, フォルダー,
; [管理者として実行]).

LangString NEEDS_ADMIN ${LANG_JAPANESE} "${PRODUCT} セットアップには管理者権限が必要です。\
    Program Files フォルダーにインストールし、すべてのユーザーに対してエクスプローラー拡張機能を\
    登録するためです。$\r$\n$\r$\nファイルを右クリックし、[管理者として実行] を選択してください。\
    何も変更されていません。"
LangString NOT_ON_ARM ${LANG_JAPANESE} "${PRODUCT} は x64 版と x86 版の Windows でのみ動作します。\
    ARM ベースの Windows のエクスプローラーは、この拡張機能を読み込めません。\
    何も変更されていません。"
LangString REGISTERING ${LANG_JAPANESE} "エクスプローラー拡張機能を登録しています"
LangString NOT_REGISTERED ${LANG_JAPANESE} "エクスプローラー拡張機能を登録できませんでした \
    (regsvr32 の終了コード: $0)。$\r$\n$\r$\nセットアップはインストールを元に戻しました。"
LangString NOT_REGISTERED_UNDONE ${LANG_JAPANESE} "エクスプローラー拡張機能を登録できなかったため、\
    インストールを元に戻しました。"
LangString ADDING_TO_PATH ${LANG_JAPANESE} "$INSTDIR を PATH に追加しています"
LangString PATH_NOT_CHANGED ${LANG_JAPANESE} "PATH を変更できませんでした ($0)。pelmora-cli は \
    $INSTDIR から実行されます"
LangString TAKING_OUT_OF_PATH ${LANG_JAPANESE} "$INSTDIR を PATH から削除しています"
LangString UNREGISTERING ${LANG_JAPANESE} "エクスプローラー拡張機能の登録を解除しています"
