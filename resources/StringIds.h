// The numbers of the string table's entries, by what each text is for: the one place code
// names a text.
#pragma once

#include <cstdint>

namespace res {

inline constexpr uint32_t IDS_DOC_TEMPLATE = 128;

inline constexpr uint32_t IDS_CANT_OPEN_DRIVE = 10000;
inline constexpr uint32_t IDS_CANT_START_THREAD = 10001;
inline constexpr uint32_t IDS_PROCEDURES_MISSING = 10002;
inline constexpr uint32_t IDS_INTERNAL_ERROR = 10003;
inline constexpr uint32_t IDS_UNSUPPORTED_PLATFORM = 10004;
inline constexpr uint32_t IDS_LIBRARY_MISSING = 10005;
inline constexpr uint32_t IDS_NO_DRIVES = 10006;
inline constexpr uint32_t IDS_OUT_OF_MEMORY = 10007;
inline constexpr uint32_t IDS_READ_ERROR_QUESTION = 10008;
inline constexpr uint32_t IDS_WRITE_ERROR = 10009;
inline constexpr uint32_t IDS_WRONG_PARAMETERS = 10010;
inline constexpr uint32_t IDS_AVERAGE_SPEED = 10011;
inline constexpr uint32_t IDS_AVERAGE_SPEED_FORMAT = 10012;
inline constexpr uint32_t IDS_COPYRIGHT = 10013;
inline constexpr uint32_t IDS_CURRENT_CYLINDER = 10014;
inline constexpr uint32_t IDS_CURRENT_CYLINDER_FORMAT = 10015;
inline constexpr uint32_t IDS_CURRENT_SPEED = 10016;
inline constexpr uint32_t IDS_CURRENT_SPEED_FORMAT = 10017;
inline constexpr uint32_t IDS_CYLINDERS = 10018;
inline constexpr uint32_t IDS_CYLINDERS_FORMAT = 10019;
inline constexpr uint32_t IDS_CYLINDERS_TESTED = 10020;
inline constexpr uint32_t IDS_CYLINDERS_TESTED_FORMAT = 10021;
inline constexpr uint32_t IDS_DOC_TITLE = 10022;
inline constexpr uint32_t IDS_DRIVE_ITEM = 10023;
inline constexpr uint32_t IDS_SPLASH_PLATFORMS = 10024;
inline constexpr uint32_t IDS_HEADS = 10025;
inline constexpr uint32_t IDS_HEADS_FORMAT = 10026;
inline constexpr uint32_t IDS_SELECTED_RANGE = 10027;
inline constexpr uint32_t IDS_MAX_SPEED = 10028;
inline constexpr uint32_t IDS_MAX_SPEED_FORMAT = 10029;
inline constexpr uint32_t IDS_MIN_SPEED = 10030;
inline constexpr uint32_t IDS_MIN_SPEED_FORMAT = 10031;
inline constexpr uint32_t IDS_MIN_SPEED_CYLINDER = 10032;
inline constexpr uint32_t IDS_MIN_SPEED_CYLINDER_FORMAT = 10033;
inline constexpr uint32_t IDS_COLUMN_PARAMETER = 10034;
inline constexpr uint32_t IDS_SECTORS = 10035;
inline constexpr uint32_t IDS_SECTORS_FORMAT = 10036;
inline constexpr uint32_t IDS_TEST_TIME = 10037;
inline constexpr uint32_t IDS_TEST_TIME_FORMAT = 10038;
inline constexpr uint32_t IDS_COLUMN_VALUE = 10039;
inline constexpr uint32_t IDS_VERSION = 10040;
inline constexpr uint32_t IDS_SELECTED = 10041;
inline constexpr uint32_t IDS_TAB_INFORMATION = 10042;
inline constexpr uint32_t IDS_TAB_LEGEND = 10043;
inline constexpr uint32_t IDS_STILL_RUNNING = 10044;
inline constexpr uint32_t IDS_CONFIRM_REMOVE = 10045;
inline constexpr uint32_t IDS_ACCESS_TIME = 10046;
inline constexpr uint32_t IDS_ACCESS_TIME_FORMAT = 10047;
inline constexpr uint32_t IDS_STATUS_PANE_WIDE = 10048;
inline constexpr uint32_t IDS_STATUS_PANE_NARROW = 10049;
inline constexpr uint32_t IDS_PHASE_RANDOM_ACCESS = 10050;
inline constexpr uint32_t IDS_PHASE_READ_BURST = 10051;
inline constexpr uint32_t IDS_PHASE_LINEAR_READ = 10052;
inline constexpr uint32_t IDS_BURST_SPEED = 10053;
inline constexpr uint32_t IDS_BURST_SPEED_FORMAT = 10054;
inline constexpr uint32_t IDS_BURST_READ_ERROR = 10055;
// The drive stopped answering during a run (it was unplugged or has died).
inline constexpr uint32_t IDS_DRIVE_GONE = 10056;

inline constexpr uint32_t IDS_APP_TITLE = 57344;
inline constexpr uint32_t IDS_IDLE_MESSAGE = 57345;

} // namespace res
