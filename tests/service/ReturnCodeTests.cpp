// The translation of Win32 errors into the return codes of the Win32_Service methods.
#include "service/ServiceManager.h"

#include <gtest/gtest.h>

namespace kestrane {
namespace {

TEST(ReturnCodeFromWin32, TranslatesEachDocumentedErrorAndEverythingElseToUnknownFailure) {
    struct Case {
        unsigned long error;
        int code;
    };
    const Case cases[] = {
        {ERROR_SUCCESS, 0},
        {ERROR_ACCESS_DENIED, 2},
        {ERROR_DEPENDENT_SERVICES_RUNNING, 3},
        {ERROR_INVALID_SERVICE_CONTROL, 4},
        {ERROR_SERVICE_CANNOT_ACCEPT_CTRL, 5},
        {ERROR_SERVICE_NOT_ACTIVE, 6},
        {ERROR_SERVICE_REQUEST_TIMEOUT, 7},
        {ERROR_PATH_NOT_FOUND, 9},
        {ERROR_FILE_NOT_FOUND, 9},
        {ERROR_BAD_EXE_FORMAT, 9},
        {ERROR_SERVICE_ALREADY_RUNNING, 10},
        {ERROR_SERVICE_DATABASE_LOCKED, 11},
        {ERROR_SERVICE_DEPENDENCY_DELETED, 12},
        {ERROR_SERVICE_DEPENDENCY_FAIL, 13},
        {ERROR_SERVICE_DISABLED, 14},
        {ERROR_SERVICE_LOGON_FAILED, 15},
        {ERROR_SERVICE_MARKED_FOR_DELETE, 16},
        {ERROR_SERVICE_DOES_NOT_EXIST, 16},
        {ERROR_SERVICE_NO_THREAD, 17},
        {ERROR_CIRCULAR_DEPENDENCY, 18},
        {ERROR_DUPLICATE_SERVICE_NAME, 19},
        {ERROR_INVALID_NAME, 20},
        {ERROR_INVALID_PARAMETER, 21},
        {ERROR_INVALID_SERVICE_ACCOUNT, 22},
        {ERROR_SERVICE_EXISTS, 23},
        // Not among the documented failures.
        {ERROR_NOT_ENOUGH_MEMORY, 8},
        {ERROR_INVALID_HANDLE, 8},
        {ERROR_SERVICE_SPECIFIC_ERROR, 8},
        {0xFFFFFFFFul, 8},
    };
    for (const Case& c : cases) EXPECT_EQ(ReturnCodeFromWin32(c.error), c.code) << "Win32 error " << c.error;
}

}  // namespace
}  // namespace kestrane
