; Setup's and the uninstaller's own texts in Simplified Chinese (Windows' terms: 资源管理器,
; 文件夹, “以管理员身份运行”).

LangString NEEDS_ADMIN ${LANG_SIMPCHINESE} "${PRODUCT} 安装程序需要管理员权限：它会安装到 \
    Program Files 文件夹，并为所有用户注册资源管理器扩展。$\r$\n$\r$\n请右键单击该文件，\
    然后选择“以管理员身份运行”。未做任何更改。"
LangString NOT_ON_ARM ${LANG_SIMPCHINESE} "${PRODUCT} 仅在 x64 和 x86 版 Windows 上运行：\
    基于 ARM 的 Windows 中的资源管理器无法加载其扩展。未做任何更改。"
LangString REGISTERING ${LANG_SIMPCHINESE} "正在注册资源管理器扩展"
LangString NOT_REGISTERED ${LANG_SIMPCHINESE} "无法注册资源管理器扩展（regsvr32 的退出代码为 $0）。\
    $\r$\n$\r$\n安装程序已撤消安装。"
LangString NOT_REGISTERED_UNDONE ${LANG_SIMPCHINESE} "无法注册资源管理器扩展；已撤消安装。"
LangString ADDING_TO_PATH ${LANG_SIMPCHINESE} "正在将 $INSTDIR 添加到 PATH"
LangString PATH_NOT_CHANGED ${LANG_SIMPCHINESE} "无法更改 PATH（$0）；pelmora-cli 从 $INSTDIR 运行"
LangString TAKING_OUT_OF_PATH ${LANG_SIMPCHINESE} "正在从 PATH 中删除 $INSTDIR"
LangString UNREGISTERING ${LANG_SIMPCHINESE} "正在取消注册资源管理器扩展"
