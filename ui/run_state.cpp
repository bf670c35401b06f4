#include "ui/run_state.h"

// The texts are compiled to code page 949 (the build sets the execution character set).
const char* const kDownloadingFileFormat = "%d/%d 번째 파일을 다운로드 중입니다...";

const char* StatusTextOf(int runState)
{
    switch (runState) {
    case Preparing:
        return "업데이트 작업 준비중...";
    case FetchingList:
        return "업데이트 항목 전송중...";
    case ParsingList:
    case CheckingVersions:
    case CountingUpdates:
        return "업데이트 항목 체크중...";
    case PreparingStaging:
    case Downloading:
        return "결제 모듈 다운로드중...";
    case Updating:
    case Installing:
        return "결제 모듈 업데이트 중...";
    case Completed:
        return "업데이트 완료.";
    case UpToDate:
        return "이미 최신버전입니다.";
    default:
        return nullptr;
    }
}
