; Setup's and the uninstaller's own texts in English, the language Setup falls back to. Every other
; file here holds the same strings with the same $-variables; installer/check_languages.py keeps
; them in step.

LangString NEEDS_ADMIN ${LANG_ENGLISH} "${PRODUCT} Setup needs administrator rights: it installs \
    into the Program Files folder and registers the Explorer extension for all users.$\r$\n$\r$\n\
    Right-click the file and choose $\"Run as administrator$\". Nothing has been changed."
LangString NOT_ON_ARM ${LANG_ENGLISH} "${PRODUCT} runs on x64 and x86 Windows only: its Explorer \
    extension cannot be loaded by Explorer on ARM-based Windows. Nothing has been changed."
LangString REGISTERING ${LANG_ENGLISH} "Registering the Explorer extension"
LangString NOT_REGISTERED ${LANG_ENGLISH} "The Explorer extension could not be registered \
    (regsvr32 ended with $0).$\r$\n$\r$\nSetup has undone the installation."
LangString NOT_REGISTERED_UNDONE ${LANG_ENGLISH} "The Explorer extension could not be registered; \
    the installation was undone."
LangString ADDING_TO_PATH ${LANG_ENGLISH} "Adding $INSTDIR to the PATH"
LangString PATH_NOT_CHANGED ${LANG_ENGLISH} "The PATH could not be changed ($0); pelmora-cli runs \
    from $INSTDIR"
LangString TAKING_OUT_OF_PATH ${LANG_ENGLISH} "Taking $INSTDIR out of the PATH"
LangString UNREGISTERING ${LANG_ENGLISH} "Unregistering the Explorer extension"
