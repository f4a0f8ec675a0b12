#include "app/client_neighbours.h"
#include "audio/game_sound_bank.h"
#include "client/gamehandler/game_handler.h"
#include "render/loading_steps.h"

namespace {

// The one bank of the process; it lives until the process ends (the end skips static destructors).
GameSoundBank* gameSoundBank = nullptr;

// Opens the audio device once, installs the bank and hands its loader to the loading steps.
void installSoundBank() {
    if (gameSoundBank != nullptr) return;
    gameSoundBank = new GameSoundBank();
    setSoundBank(gameSoundBank);
    setSoundLoadingStep([] {
        gameSoundBank->loadSounds();
        return true;  // loading has ended, with sound or silent
    });
}

}  // namespace

void ClientNeighbours::applyGameSettings() {
    installSoundBank();
    GameHandler& gh = getGameHandler();
    gh.saveGameSettings(gh.gameSettings);
}

void ClientNeighbours::closeAudio() {
    if (gameSoundBank != nullptr) gameSoundBank->engine().close();
}
