; Setup's and the uninstaller's own texts in French (Windows' terms: l'Explorateur, dossier
; Programmes, inscrire).

LangString NEEDS_ADMIN ${LANG_FRENCH} "Le programme d'installation de ${PRODUCT} nécessite des \
    droits d'administrateur : il installe dans le dossier Programmes et inscrit l'extension de \
    l'Explorateur pour tous les utilisateurs.$\r$\n$\r$\nCliquez avec le bouton droit sur le \
    fichier et choisissez « Exécuter en tant qu'administrateur ». Rien n'a été modifié."
LangString NOT_ON_ARM ${LANG_FRENCH} "${PRODUCT} fonctionne uniquement sur Windows x64 et x86 : \
    l'Explorateur de Windows sur ARM ne peut pas charger son extension. Rien n'a été modifié."
LangString REGISTERING ${LANG_FRENCH} "Inscription de l'extension de l'Explorateur"
LangString NOT_REGISTERED ${LANG_FRENCH} "L'extension de l'Explorateur n'a pas pu être inscrite \
    (regsvr32 s'est terminé avec le code $0).$\r$\n$\r$\nLe programme d'installation a annulé \
    l'installation."
LangString NOT_REGISTERED_UNDONE ${LANG_FRENCH} "L'extension de l'Explorateur n'a pas pu être \
    inscrite ; l'installation a été annulée."
LangString ADDING_TO_PATH ${LANG_FRENCH} "Ajout de $INSTDIR au PATH"
LangString PATH_NOT_CHANGED ${LANG_FRENCH} "Le PATH n'a pas pu être modifié ($0) ; pelmora-cli \
    s'exécute depuis $INSTDIR"
LangString TAKING_OUT_OF_PATH ${LANG_FRENCH} "Retrait de $INSTDIR du PATH"
LangString UNREGISTERING ${LANG_FRENCH} "Désinscription de l'extension de l'Explorateur"
