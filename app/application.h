// The program: the browser engine's sub-process check, SIGPIPE, the converter mode, and otherwise
// the client: start-up, the frame loop until the user quits, and an orderly end.
#pragma once

#include "app/shell_neighbours.h"
#include "ui/engine/web_types.h"
#include "ui/engine/web_client.h"

#include <chrono>
#include <functional>
#include <string>

class FrameLoop;

struct ClientOptions {
    // The subsystems around the shell; null: the stand-ins of ShellNeighbours.
    ShellNeighbours* neighbours = nullptr;
    // The browser engine's start; empty: the real browser.
    std::function<bool(const bzweb::MainArgs&, const bzweb::WebSettings&, bzweb::RefPtr<bzweb::WebApp>,
                       std::string* error)>
        startEngine;
    // Called after every frame (tests drive and watch the loop through it).
    std::function<void(FrameLoop&)> afterFrame;
    // How long the end waits for the background threads.
    std::chrono::milliseconds threadStopLimit{4000};
};

// The whole of main. Returns the process exit status.
int runMain(int argc, char** argv, const ClientOptions& options = {});

// From the game controller's creation to the end of the frame loop and the tear-down.
int runClient(int argc, char** argv, const ClientOptions& options = {});

// Runs work on a thread of its own and waits at most limit for it. False when it did not finish:
// the thread is left running (detached).
bool runWithin(std::function<void()> work, std::chrono::milliseconds limit);

// True when a background thread outlived the bounded waits of the last client run.
bool threadsLeftRunning();

// The process end for main: with a background thread still running, the standard streams are
// flushed and the process ends at once, so no static object is destroyed under that thread.
int finishProcess(int status);
