// bz_soundgen --espeak PATH --out DIR --header FILE
// Writes every sound of the sound bank into DIR, the referee's cut table beside the referee file, and
// the same table as a C++ header. The same inputs give the same bytes on every run.
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <string>

#include "tools/soundgen/effects.h"
#include "tools/soundgen/referee.h"
#include "tools/soundgen/speech.h"
#include "tools/soundgen/synth.h"
#include "tools/soundgen/wav.h"

using namespace soundgen;

namespace {

constexpr double kLeadSeconds = 0.025;  // silence between a cut and the speech after it
constexpr double kTailSeconds = 0.03;  // and between the speech and the next cut
constexpr int kRateStep = 10;
constexpr int kFastestRate = 450;

struct Clip {
    int wordsPerMinute = 0;
    std::vector<int16_t> speech;
};

bool synthesise(const std::string& espeak, const RefereeLine& line, Clip& clip, int& sampleRate, std::string& error) {
    Pcm pcm;
    if (!speak(espeak, refereeVoice(line.voice), clip.wordsPerMinute, line.text, pcm, error)) return false;
    if (sampleRate != 0 && pcm.rate != sampleRate) {
        error = "the voices speak at different sample rates";
        return false;
    }
    sampleRate = pcm.rate;
    Buffer speech;
    for (int16_t v : trimSpeech(pcm.samples, pcm.rate)) speech.push_back(float(v) / 32768.0f);
    if (speech.empty()) {
        error = "no speech for \"" + line.text + "\"";
        return false;
    }
    normalise(speech, 0.8f);
    clip.speech = toPcm16(speech);
    return true;
}

int needOf(const Clip& clip, int sampleRate) {
    return int(std::ceil((kLeadSeconds + double(clip.speech.size()) / sampleRate + kTailSeconds) * 100.0 - 1e-9));
}

bool speedUp(const std::string& espeak, const RefereeLine& line, Clip& clip, int& sampleRate, std::string& error) {
    clip.wordsPerMinute += kRateStep;
    if (clip.wordsPerMinute > kFastestRate) {
        error = "\"" + line.text + "\" does not fit its slot";
        return false;
    }
    return synthesise(espeak, line, clip, sampleRate, error);
}

bool makeReferee(const std::string& espeak, const std::filesystem::path& out, const std::string& header,
                 std::string& error) {
    const std::vector<RefereeLine> script = refereeScript();
    std::vector<Clip> clips(script.size());
    int sampleRate = 0;
    for (size_t k = 0; k < script.size(); ++k) {
        clips[k].wordsPerMinute = refereeVoice(script[k].voice).wordsPerMinute;
        if (!synthesise(espeak, script[k], clips[k], sampleRate, error)) return false;
    }
    CutLayout layout;
    for (;;) {
        std::vector<int> need;
        for (const Clip& clip : clips) need.push_back(needOf(clip, sampleRate));
        layout = layoutCutTable(need);
        if (layout.fits()) break;
        if (!layout.overfull.empty()) {
            for (int k : layout.overfull)
                if (!speedUp(espeak, script[k], clips[k], sampleRate, error)) return false;
            continue;
        }
        if (layout.freeExcess <= 0) {
            error = "the cut table cannot be laid out";
            return false;
        }
        // Quicken the longest of the clips that share the free stretch.
        int longest = kFirstFreeClip;
        for (int k = kFirstFreeClip; k < kFirstLastClip; ++k)
            if (need[k] > need[longest]) longest = k;
        if (!speedUp(espeak, script[longest], clips[longest], sampleRate, error)) return false;
    }

    const auto at = [&](double seconds) { return size_t(std::lround(seconds * sampleRate)); };
    const int lastEnd = layout.starts.back() + needOf(clips.back(), sampleRate);
    Pcm referee{sampleRate, 1, std::vector<int16_t>(at(lastEnd / 100.0 + 0.2), 0)};
    for (size_t k = 0; k < clips.size(); ++k)
        std::copy(clips[k].speech.begin(), clips[k].speech.end(),
                  referee.samples.begin() + long(at(layout.starts[k] / 100.0 + kLeadSeconds)));

    std::string table, source =
        "// Written by bz_soundgen together with sounds/referee.wav: clip k of that file starts at\n"
        "// kRefereeCutTimes[k] seconds and ends where clip k + 1 starts (the last one at the end of the file).\n"
        "#pragma once\n\n#include <array>\n\ninline constexpr std::array<float, " +
        std::to_string(kRefereeClips) + "> kRefereeCutTimes = {\n";
    for (size_t k = 0; k < layout.starts.size(); ++k) {
        char text[32];
        std::snprintf(text, sizeof text, "%d.%02d", layout.starts[k] / 100, layout.starts[k] % 100);
        table += std::string(text) + "\n";
        source += std::string(k % 8 ? " " : "    ") + text + "f," + (k % 8 == 7 ? "\n" : "");
    }
    source += "\n};\n";
    if (!writeFile(out / "referee.wav", wavBytes(referee)) || !writeFile(out / "referee_cuts.txt", table) ||
        !writeFile(header, source)) {
        error = "cannot write the referee files";
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::string espeak, outDir, header;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string flag = argv[i];
        if (flag == "--espeak") espeak = argv[i + 1];
        else if (flag == "--out") outDir = argv[i + 1];
        else if (flag == "--header") header = argv[i + 1];
    }
    if (espeak.empty() || outDir.empty() || header.empty()) {
        std::cerr << "usage: bz_soundgen --espeak PATH --out DIR --header FILE\n";
        return 2;
    }
    std::error_code ignored;
    std::filesystem::create_directories(outDir, ignored);
    std::filesystem::create_directories(std::filesystem::path(header).parent_path(), ignored);
    for (const EffectSpec& spec : effectSpecs()) {
        if (!writeFile(std::filesystem::path(outDir) / spec.file,
                       wavBytes(Pcm{kEffectRate, 1, toPcm16(renderEffect(spec))}))) {
            std::cerr << "bz_soundgen: cannot write " << spec.file << "\n";
            return 1;
        }
    }
    std::string error;
    if (!makeReferee(espeak, outDir, header, error)) {
        std::cerr << "bz_soundgen: " << error << "\n";
        return 1;
    }
    return 0;
}
