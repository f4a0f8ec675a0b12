// The numbers that name things on the game-server wire. Every value is the wire value, so none may change.
#pragma once

#include <cstdint>

inline constexpr uint16_t MESSAGE_PROTOCOL_VERSION = 1;
// Serialised messages are padded to the stream cipher's block.
inline constexpr int32_t MESSAGE_BLOCK_SIZE = 16;
inline constexpr int SID_LENGTH = 10;
inline constexpr int SALT_LENGTH = 4;
inline constexpr int MIN_NICK_LENGTH = 3;
inline constexpr int MAX_NICK_LENGTH = 20;
inline constexpr int PWD_LENGTH = 20;

// The header's message id (u16).
enum class MessageId : uint16_t {
    SERVER_STATUS_REQ = 1,
    HELLO = 2,
    HELLO_REPLY = 3,
    LOGIN_CHALLENGE = 4,
    LOGIN_REQ = 5,
    LOGIN_OK = 6,
    LOGIN_FAILED = 7,
    NO_LOGIN = 8,
    SERVER_STATUS = 9,
    INFO = 1000,
    TABLE_LIST_INFO = 1001,
    LOGOUT_REQ = 1002,
    USER_LIST_INFO = 1003,
    ENTER_TABLE_REQ = 1004,
    ENTER_TABLE_INFO = 1005,
    EXIT_TABLE_REQ = 1006,
    EXIT_TABLE_INFO = 1007,
    PLAY_TABLE_REQ = 1008,
    PLAY_TABLE_INFO = 1009,
    STOP_PLAY_TABLE_REQ = 1010,
    STOP_PLAY_TABLE_INFO = 1011,
    TABLE_SETTINGS_REQ = 1012,
    TABLE_SETTINGS_INFO = 1013,
    TABLE_EVENT = 1014,
    CHAT_MESSAGE = 1015,
};

// The type of one table event (u16). Types 11 to 19, 23, 24 and 34 to 36 have no name but are valid and
// carried unchanged; 5, 6, 7 and everything above 36 make a received message invalid.
enum class TableEventType : uint16_t {
    END = 0,
    BALL_PLACED = 1,
    BALL_REMOVED = 2,
    LIVE_AIM_START = 3,
    LIVE_AIM_MOVE = 4,
    LIVE_AIM_END = 8,
    NOMINATED_BALL = 9,
    SHOT = 10,
    FOUL_PLAY_ON = 20,
    FOUL_RETAKE = 21,
    GAME_STATUS = 22,
    START_INFO = 25,
    LIVE_AIM_SET = 26,
    FRAME_CONCEDED = 27,
    RERACK_REQUESTED = 28,
    RERACK_ACCEPTED = 29,
    RERACK_DECLINED = 30,
    ABORT_REQUESTED = 31,
    ABORT_ACCEPTED = 32,
    ABORT_DECLINED = 33,
};

inline constexpr uint16_t MAX_TABLE_EVENT_TYPE = 36;

// The kind of a START_INFO table event (u16).
enum class StartInfo : uint16_t {
    START_REQUESTED = 1,
    START_CANCELLED = 2,
    COIN_TOSS = 3,
    STARTED_AFTER_COIN_TOSS = 4,
};

// The class of a chat line (u16); 2, 5, 9 and 10 arrive without names of their own.
enum class ChatClass : uint16_t {
    CHAT = 0,
    PRIVATE = 1,
    BIG_BREAK = 3,
    BIG_BREAK_2 = 4,
    LOBBY = 6,
    LOCAL_NOTICE = 7,
    TABLE_USER_IN_OUT = 8,
};

// The code of an INFO message (i32 in the record, u32 on the wire). Codes above 98 may arrive; the
// connection passes them on and the dispatch reports them.
enum class InfoCode : int32_t {
    SERVER_INFO = 1,
    DELETE_CHAT = 2,
    LOGOUT = 3,
    ACCOUNT_INFO = 4,
    TOP_STATS = 5,
    BIO_DATA_REQ = 6,
    BIO_DATA = 7,
    USER_FLAGS = 8,
    LOGIN_USER_LIST = 9,
    VERSION = 10,
    INFO_CODE_ENTER_TUTCH_REQ = 11,
    ENTER_TUTCH_INFO = 12,
    INFO_CODE_EXIT_TUTCH_REQ = 13,
    EXIT_TUTCH_INFO = 14,
    INFO_CODE_SELECT_TUTCH_TOPIC = 15,
    TUTCH_TOPIC_INFO = 16,
    TUTCH_STATUS_INFO = 17,
    INFO_CODE_CANCEL_TUTCH_TOPIC = 18,
    INFO_CODE_START_TUTCH_TOPIC = 19,
    TUTCH_TOPIC_CANCELLED = 20,
    TUTCH_TOPIC_PASSED = 21,
    TUTCH_TOPIC_FAILED = 22,
    INFO_CODE_TIMEOUT_PROLONG_DECIDING = 23,
    HBPING = 24,
    HBPING_REPLY = 25,
    OPEN_LOGIN_POPUP = 26,
    USER_DC = 27,
    DC_TIMER_STOP = 28,
    USER_PREFERENCES = 29,
    INVITE_INFO = 30,
    INFO_CODE_INVITE_RESPONSE = 31,
    BIO_RESULTS_REQ = 32,
    FRAME_RESULTS_DATA = 33,
    SERVER_USER_FLAGS = 34,
    TASK_INFO = 35,
    KRED_BOX_INFO = 36,
    INFO_CODE_KRED_BOX_COLLECT = 37,
    TOURNEY_INFO = 38,
    TOURNEY_ENDED = 39,
    UPCOMING_TOURNEY_INFO = 40,
    UPCOMING_TOURNEY_COUNT = 41,
    USER_ID = 42,
    RECENT_TOURNEY_WINNERS = 43,
    INFO_CODE_MATCH_STATS_DATA = 45,
    MATCH_STATS_INFO = 46,
    INFO_CODE_AREZOR_COMMANDS = 47,
    AREZOR = 48,
    INFO_CODE_USER_EMOJIS = 49,
    INFO_CODE_AREZOR_WAITING_LIST = 50,
    INFO_CODE_CUE_KRED_INFO = 51,
    INFO_CODE_CURRENT_CUE_INFO = 52,
    INFO_CODE_CUE_LIST_INFO = 53,
    INFO_CODE_CUE_USED = 54,
    INFO_CODE_CUE_PURCHASED = 55,
    INFO_CODE_CUE_PARTS_FUSED = 56,
    INFO_CODE_HTML_FILE = 57,
    INFO_CODE_CUE_URL_INFO = 59,
    RECORDS_DATA = 63,
    INTERFACE_ADDRESSES = 64,
    REPLAY_INFO = 65,
    INFO_CODE_EXIT_REPLAY_REQ = 66,
    EXIT_REPLAY_INFO = 67,
    REPLAY_LIST_REQ = 68,
    INFO_CODE_REPLAY_SEARCH_DATA = 69,
    INFO_CODE_REPLAY_TOP20_INFO = 70,
    INFO_CODE_REPLAY_FAV_IDS_INFO = 71,
    REPLAY_POSITION = 72,
    INFO_CODE_REPLAY_FETCH_FAVPUB_DATA = 73,
    REPLAY_SAVE_REQ = 74,
    REPLAY_FAV_ADD = 75,
    REPLAY_FAV_DELETE = 76,
    INFO_CODE_REPLAY_SETTINGS_INFO = 77,
    REPLAY_NOTES_UPDATE = 78,
    REPLAY_SAVE_DATA = 79,
    REPLAY_MARKED_SHOTS = 80,
    INFO_CODE_BZLOG = 81,
    INFO_CODE_POLL_DATA = 82,
    POLL_VOTE = 83,
    INFO_CODE_VIDEO_INFO = 85,
    USER_INFO = 86,
    MUTED_USERS = 87,
    FRIENDS = 88,
    LOBBY_NAMES = 89,
    FRIEND_CHANGE = 90,
    BLOCK_USER = 91,
    BIO_DATA_USER_TYPE = 92,
    OPEN_URL = 96,
    DAILY_STATS = 98,
};

inline constexpr int32_t MAX_INFO_CODE = 98;

// What parsing one message from received bytes found.
enum class ParseResult {
    Complete,    // a whole message; its consumed bytes are used up
    Incomplete,  // not all bytes have arrived yet; nothing is consumed
    Invalid,     // the stream is corrupt; the connection must close
};
