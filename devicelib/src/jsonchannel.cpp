#include "jsonchannel.h"

#include <json/json.h>

#include <algorithm>
#include <cstring>
#include <exception>

#include "commands.h"
#include "export_guard.h"
#include "log.h"

namespace dalvex {

std::string menuListRequest() {
    Json::Value request;
    request["Get menu list"];  // member access by name makes the null value an object
    // Cameras expect the styled writer's layout: three-space indent, " : " between key and value.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
    Json::StyledWriter writer;
    return writer.write(request);
#pragma GCC diagnostic pop
}

}  // namespace dalvex

using namespace dalvex;

extern "C" {

DALVEX_API int TKUSB_GetMenuList(char* block2048) try {
    if (block2048 == nullptr) {
        return 0;
    }
    return Drive::current().read(kSubGetMenuList, block2048, kTextBlockSize);
} catch (...) {
    return exportFailed(__func__, 0);
}

DALVEX_API int TKUSB_SetMenuList(const char* text) try {
    if (text == nullptr) {
        return 0;
    }
    char block[kTextBlockSize] = {};
    block[0] = kMenuListMarker;
    // Leave room for the terminator inside the block.
    const size_t length = strnlen(text, kTextBlockSize - 2);
    std::memcpy(block + 1, text, length);
    return Drive::current().write(kSubSetMenuList, block, sizeof block);
} catch (...) {
    return exportFailed(__func__, 0);
}

DALVEX_API int TKUSB_GetJsonString(char* block2048) try {
    if (block2048 == nullptr) {
        return 0;
    }
    std::memset(block2048, 0, kTextBlockSize);
    try {
        const std::string request = menuListRequest();
        const size_t length = std::min(request.size(), kTextBlockSize - 1);
        std::memcpy(block2048, request.data(), length);
    } catch (const std::exception& error) {
        dalvexLog("StructDataToJsonString exception %s.\n", error.what());
        return 0;
    }
    // Whether the request went through shows in the answer.
    Drive::current().write(kSubJsonRequest, block2048, kTextBlockSize);
    std::memset(block2048, 0, kTextBlockSize);
    return Drive::current().read(kSubJsonAnswer, block2048, kTextBlockSize);
} catch (...) {
    return exportFailed(__func__, 0);
}

DALVEX_API int TKUSB_SetJsonString(const char* block2048) try {
    if (block2048 == nullptr) {
        return 0;
    }
    return Drive::current().write(kSubJsonRequest, block2048, kTextBlockSize);
} catch (...) {
    return exportFailed(__func__, 0);
}

DALVEX_API int TKUSB_TEST_Json(void) try {
    char block[kTestBlockSize] = {};
    std::memcpy(block, kJsonTestText, sizeof kJsonTestText - 1);
    const int ok = Drive::current().read(kSubJsonTest, block, sizeof block);
    // The camera may fill all 30 bytes without a terminator.
    dalvexLog(">>buf:%.*s\n", int(sizeof block), block);
    return ok;
} catch (...) {
    return exportFailed(__func__, 0);
}

}  // extern "C"
