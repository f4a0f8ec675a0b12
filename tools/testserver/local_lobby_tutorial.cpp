// The local lobby's tutorial: entering it seats the user alone at a free table, choosing a topic
// starts its exercise (and "Start exercise" starts it again), and the exercise's one stroke passes or
// fails the topic. What the user has passed is kept until the lobby stops.
#include "tools/testserver/local_lobby.h"
#include "tools/testserver/tutorial_topics.h"

void LocalLobby::onTutorialRequest(std::vector<OutgoingMessage>& out, int connection, const Message& message) {
    const std::string user = members_[connection].user;
    TableListEntry* table = findTable(members_[connection].tableId);
    Game* game = table != nullptr ? &games_[table->tableId] : nullptr;
    const bool inTutorial = game != nullptr && game->tutorial;
    const int tableId = members_[connection].tableId;
    switch (static_cast<InfoCode>(message.infoCode)) {
        case InfoCode::INFO_CODE_ENTER_TUTCH_REQ:
            if (!inTutorial) enterTutorial(out, connection, user);
            break;
        case InfoCode::INFO_CODE_EXIT_TUTCH_REQ:
            if (!inTutorial) break;
            out.push_back({connection, Message::initInfo(nextIid_++, InfoCode::EXIT_TUTCH_INFO, 0, 0, "", "")});
            endGame(*table);
            leaveTable(out, connection);
            break;
        case InfoCode::INFO_CODE_SELECT_TUTCH_TOPIC:
            if (!inTutorial) break;
            if (!tutorialTopicOffered(message.valueA)) {
                out.push_back({connection, notice("This local lobby offers the exercises of topics 1 and 2 only.", tableId)});
                break;
            }
            stopExercise(*table);
            game->tutorialTopic = message.valueA;
            // The client shows the topic as running from its TUTCH_TOPIC_INFO, and its Restart and
            // "Show the lesson" choose the topic again: the exercise starts with the topic.
            startExercise(out, *table);
            out.push_back({connection, Message::initInfo(nextIid_++, InfoCode::TUTCH_TOPIC_INFO, message.valueA, 0, "", "")});
            break;
        case InfoCode::INFO_CODE_START_TUTCH_TOPIC:
            if (!inTutorial) break;
            if (game->tutorialTopic == 0) {
                out.push_back({connection, notice("Choose a topic first.", tableId)});
                break;
            }
            startExercise(out, *table);
            break;
        case InfoCode::INFO_CODE_CANCEL_TUTCH_TOPIC:
            if (!inTutorial) break;
            stopExercise(*table);
            game->tutorialTopic = 0;
            out.push_back({connection, Message::initInfo(nextIid_++, InfoCode::TUTCH_TOPIC_CANCELLED, 0, 0, "", "")});
            // Back at the topics, the bar's list is built again from the topics passed.
            out.push_back({connection, tutorialStatus(user)});
            break;
        default:
            break;
    }
}

void LocalLobby::enterTutorial(std::vector<OutgoingMessage>& out, int connection, const std::string& user) {
    TableListEntry* free = nullptr;
    for (TableListEntry& t : tables_)
        if (!free && t.player1.empty() && t.player2.empty() && t.viewers.empty()) free = &t;
    if (free == nullptr) {
        out.push_back({connection, Message::initInfo(nextIid_++, InfoCode::ENTER_TUTCH_INFO, 0, 0, "", "")});
        out.push_back({connection, notice("No table is free for the tutorial just now.", members_[connection].tableId)});
        return;
    }
    // The user holds both seats of the exercise table, as in practice.
    enterTable(out, connection, user, free->tableId);
    free->player1 = free->player2 = user;
    std::erase(free->viewers, user);
    sendSeats(out, *free, MessageId::PLAY_TABLE_INFO);
    Game& game = games_[free->tableId];
    game.tutorial = true;
    game.tutorialTopic = 0;
    out.push_back({connection, Message::initInfo(nextIid_++, InfoCode::ENTER_TUTCH_INFO, 1, 0, "", "")});
    out.push_back({connection, tutorialStatus(user)});
}

Message LocalLobby::tutorialStatus(const std::string& user) {
    auto [passed, added] = tutorialsPassed_.try_emplace(user, std::string(kTutorialTopics, '0'));
    return Message::initInfo(nextIid_++, InfoCode::TUTCH_STATUS_INFO, 0, 0, passed->second, "");
}

void LocalLobby::startExercise(std::vector<OutgoingMessage>& out, TableListEntry& table) {
    Game& game = games_[table.tableId];
    game.frame->start({table.player1, table.player2}, 0, table.maxShotTime);
    layOutExercise(game.tutorialTopic, *game.frame);
    // Exercises are not frames: none is kept among the replays.
    replays_.drop(table.tableId);
    table.gameState = 1;
    TableEvent begin(TableEventType::START_INFO);
    begin.startInfo = StartInfo::STARTED_AFTER_COIN_TOSS;
    begin.value = 0;
    toTable(out, table.tableId, tableEvents({game.frame->status(), begin}));
}

void LocalLobby::stopExercise(TableListEntry& table) {
    games_[table.tableId].frame->stop();
    table.gameState = 0;
}

void LocalLobby::judgeExercise(std::vector<OutgoingMessage>& out, TableListEntry& table, const TableEvent& after) {
    Game& game = games_[table.tableId];
    stopExercise(table);
    // The exercise's one stroke ends it: its status says so, and the client's shot clock stops.
    toTable(out, table.tableId, tableEvents({game.frame->status()}));
    const bool passed = exercisePassed(game.tutorialTopic, after);
    const std::string& user = table.player1;
    tutorialStatus(user);  // the user's record exists from here on
    if (passed) tutorialsPassed_[user][game.tutorialTopic - 1] = '1';
    // The topic stays chosen: "Try again" starts the same exercise.
    const Message result = Message::initInfo(nextIid_++, passed ? InfoCode::TUTCH_TOPIC_PASSED : InfoCode::TUTCH_TOPIC_FAILED,
                                             0, 0, "", "");
    // The client opens the result dialog as soon as the result arrives, so it is told once its balls
    // have come to rest, with a little to spare.
    const int restMs = static_cast<int>(game.frame->lastRollSeconds() * 1000) + 500;
    std::vector<OutgoingMessage> told;
    toTable(told, table.tableId, result);
    toTable(told, table.tableId, tutorialStatus(user));
    for (OutgoingMessage& m : told) {
        m.delayMs = restMs;
        out.push_back(std::move(m));
    }
}
