; Setup's and the uninstaller's own texts in Brazilian Portuguese (Windows' terms: o Explorador,
; pasta Arquivos de Programas).

LangString NEEDS_ADMIN ${LANG_PORTUGUESEBR} "O instalador do ${PRODUCT} precisa de direitos de \
    administrador: ele instala na pasta Arquivos de Programas e registra a extensão do Explorador \
    para todos os usuários.$\r$\n$\r$\nClique com o botão direito do mouse no arquivo e escolha \
    “Executar como administrador”. Nada foi alterado."
LangString NOT_ON_ARM ${LANG_PORTUGUESEBR} "O ${PRODUCT} só funciona no Windows x64 e x86: o \
    Explorador do Windows em ARM não consegue carregar a extensão. Nada foi alterado."
LangString REGISTERING ${LANG_PORTUGUESEBR} "Registrando a extensão do Explorador"
LangString NOT_REGISTERED ${LANG_PORTUGUESEBR} "Não foi possível registrar a extensão do \
    Explorador (o regsvr32 terminou com $0).$\r$\n$\r$\nO instalador desfez a instalação."
LangString NOT_REGISTERED_UNDONE ${LANG_PORTUGUESEBR} "Não foi possível registrar a extensão do \
    Explorador; a instalação foi desfeita."
LangString ADDING_TO_PATH ${LANG_PORTUGUESEBR} "Adicionando $INSTDIR ao PATH"
LangString PATH_NOT_CHANGED ${LANG_PORTUGUESEBR} "Não foi possível alterar o PATH ($0); o pelmora-cli \
    é executado a partir de $INSTDIR"
LangString TAKING_OUT_OF_PATH ${LANG_PORTUGUESEBR} "Removendo $INSTDIR do PATH"
LangString UNREGISTERING ${LANG_PORTUGUESEBR} "Cancelando o registro da extensão do Explorador"
