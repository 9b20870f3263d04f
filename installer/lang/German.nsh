; Setup's and the uninstaller's own texts in German (Windows' terms: Explorer, Ordner „Programme“).

LangString NEEDS_ADMIN ${LANG_GERMAN} "Das ${PRODUCT}-Setup benötigt Administratorrechte: Es \
    installiert in den Ordner „Programme“ und registriert die Explorer-Erweiterung für alle \
    Benutzer.$\r$\n$\r$\nKlicken Sie mit der rechten Maustaste auf die Datei, und wählen Sie \
    „Als Administrator ausführen“. Es wurde nichts geändert."
LangString NOT_ON_ARM ${LANG_GERMAN} "${PRODUCT} läuft nur unter x64- und x86-Windows: Der Explorer \
    von ARM-basiertem Windows kann die Explorer-Erweiterung nicht laden. Es wurde nichts geändert."
LangString REGISTERING ${LANG_GERMAN} "Die Explorer-Erweiterung wird registriert"
LangString NOT_REGISTERED ${LANG_GERMAN} "Die Explorer-Erweiterung konnte nicht registriert werden \
    (regsvr32 endete mit $0).$\r$\n$\r$\nDas Setup hat die Installation rückgängig gemacht."
LangString NOT_REGISTERED_UNDONE ${LANG_GERMAN} "Die Explorer-Erweiterung konnte nicht registriert \
    werden; die Installation wurde rückgängig gemacht."
LangString ADDING_TO_PATH ${LANG_GERMAN} "$INSTDIR wird zum PATH hinzugefügt"
LangString PATH_NOT_CHANGED ${LANG_GERMAN} "Der PATH konnte nicht geändert werden ($0); pelmora-cli \
    wird aus $INSTDIR gestartet"
LangString TAKING_OUT_OF_PATH ${LANG_GERMAN} "$INSTDIR wird aus dem PATH entfernt"
LangString UNREGISTERING ${LANG_GERMAN} "Die Registrierung der Explorer-Erweiterung wird aufgehoben"
