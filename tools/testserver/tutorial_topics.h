// The exercises of the local lobby's tutorial: where the balls stand for each topic and what passes
// it. Two topics, the first two lessons of the tutorial panel: aiming (pot the red) and power (pot
// the red and leave the cue ball near the middle of the table).
#pragma once

#include "net/table_event.h"

class LocalFrame;

inline constexpr int kTutorialTopics = 2;

inline bool tutorialTopicOffered(int topic) { return topic >= 1 && topic <= kTutorialTopics; }
// Only the cue ball and one red, in line with a middle pocket.
void layOutExercise(int topic, LocalFrame& frame);
// The status after the exercise's stroke passes the topic.
bool exercisePassed(int topic, const TableEvent& after);
