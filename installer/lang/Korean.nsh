; Setup's and the uninstaller's own texts in Korean (Windows' terms: 파일 탐색기, 폴더,
; [관리자 권한으로 실행]).

LangString NEEDS_ADMIN ${LANG_KOREAN} "${PRODUCT} 설치 프로그램에는 관리자 권한이 필요합니다. \
    Program Files 폴더에 설치하고 모든 사용자에 대해 탐색기 확장을 등록하기 때문입니다.\
    $\r$\n$\r$\n파일을 마우스 오른쪽 단추로 클릭하고 [관리자 권한으로 실행]을 선택하십시오. \
    아무것도 변경되지 않았습니다."
LangString NOT_ON_ARM ${LANG_KOREAN} "${PRODUCT}은(는) x64 및 x86 Windows에서만 실행됩니다. \
    ARM 기반 Windows의 탐색기는 이 확장을 로드할 수 없습니다. 아무것도 변경되지 않았습니다."
LangString REGISTERING ${LANG_KOREAN} "탐색기 확장을 등록하는 중"
LangString NOT_REGISTERED ${LANG_KOREAN} "탐색기 확장을 등록할 수 없습니다(regsvr32 종료 코드: \
    $0).$\r$\n$\r$\n설치 프로그램이 설치를 취소했습니다."
LangString NOT_REGISTERED_UNDONE ${LANG_KOREAN} "탐색기 확장을 등록할 수 없어 설치를 취소했습니다."
LangString ADDING_TO_PATH ${LANG_KOREAN} "$INSTDIR을(를) PATH에 추가하는 중"
LangString PATH_NOT_CHANGED ${LANG_KOREAN} "PATH를 변경할 수 없습니다($0). pelmora-cli는 $INSTDIR에서 \
    실행됩니다"
LangString TAKING_OUT_OF_PATH ${LANG_KOREAN} "PATH에서 $INSTDIR을(를) 제거하는 중"
LangString UNREGISTERING ${LANG_KOREAN} "탐색기 확장 등록을 취소하는 중"
