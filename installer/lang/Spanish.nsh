; Setup's and the uninstaller's own texts in Spanish (Windows' terms: el Explorador, carpeta
; Archivos de programa).

LangString NEEDS_ADMIN ${LANG_SPANISH} "El programa de instalación de ${PRODUCT} necesita derechos \
    de administrador: instala en la carpeta Archivos de programa y registra la extensión del \
    Explorador para todos los usuarios.$\r$\n$\r$\nHaga clic con el botón secundario en el archivo \
    y elija “Ejecutar como administrador”. No se ha cambiado nada."
LangString NOT_ON_ARM ${LANG_SPANISH} "${PRODUCT} solo funciona en Windows x64 y x86: el Explorador \
    de Windows en ARM no puede cargar su extensión. No se ha cambiado nada."
LangString REGISTERING ${LANG_SPANISH} "Registrando la extensión del Explorador"
LangString NOT_REGISTERED ${LANG_SPANISH} "No se pudo registrar la extensión del Explorador \
    (regsvr32 terminó con $0).$\r$\n$\r$\nEl programa de instalación ha deshecho la instalación."
LangString NOT_REGISTERED_UNDONE ${LANG_SPANISH} "No se pudo registrar la extensión del \
    Explorador; se ha deshecho la instalación."
LangString ADDING_TO_PATH ${LANG_SPANISH} "Agregando $INSTDIR al PATH"
LangString PATH_NOT_CHANGED ${LANG_SPANISH} "No se pudo cambiar el PATH ($0); pelmora-cli se ejecuta \
    desde $INSTDIR"
LangString TAKING_OUT_OF_PATH ${LANG_SPANISH} "Quitando $INSTDIR del PATH"
LangString UNREGISTERING ${LANG_SPANISH} "Anulando el registro de la extensión del Explorador"
