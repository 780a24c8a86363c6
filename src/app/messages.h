// The installer's private window messages. Their numbers are shared by both
// window backends, the pages, the workers and a second instance.
#pragma once

#include "platform/ui.h"

enum : uint32_t {
    WM_USER_RUN_COMMAND = ui::kWmUser + 1011,
    WM_USER_SET_DESC = ui::kWmUser + 1012,
    WM_USER_INSTALL_STATUS = ui::kWmUser + 1013,
    WM_USER_SEARCH_DONE = ui::kWmUser + 1014,
    WM_USER_DLG_CANCEL = ui::kWmUser + 1015,
    WM_USER_END_WAIT = ui::kWmUser + 1016,
    WM_USER_OPEN_DLG = ui::kWmUser + 1018,
    WM_USER_PROGRESS_STEP = ui::kWmUser + 1019,
    WM_USER_PNP_WAIT_END = ui::kWmUser + 1020,
    WM_USER_DEVICE_FOUND = ui::kWmUser + 1021,
    WM_USER_LOCK_MSGBOX = ui::kWmUser + 1022,
    WM_USER_COPY_END = ui::kWmUser + 1023,
    WM_USER_COPY_TEXT = ui::kWmUser + 1024,
    WM_USER_COPY_CANCEL_STATE = ui::kWmUser + 1025,
    WM_USER_ACTIVATE_INSTANCE = ui::kWmUser + 1026,
    WM_USER_INIT_DONE = ui::kWmUser + 1027,
    WM_USER_INSTALL_END = ui::kWmUser + 1028,
    WM_USER_REFRESH = ui::kWmUser + 1032,
    WM_USER_DLG_END = ui::kWmUser + 1033,
};
