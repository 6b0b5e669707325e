#pragma once

#include "PortClient.h"
#include "SimulatedRadio.h"
#include "TestFiles.h"

#include <gtest/gtest.h>
#include <memory>

// A simulated radio logging into a temporary directory, and the editor's end of its line.
class RadioTest : public ::testing::Test {
protected:
    void StartRadio(radiosim::RadioOptions options = {}) {
        options.logPath = log;
        radio = std::make_unique<radiosim::SimulatedRadio>(std::move(options));
        radio->Start();
        port = std::make_unique<PortClient>(radio->DevicePath());
    }

    static std::string Query(int memory) { return "MEM:USR:SET? " + std::to_string(memory) + "\r"; }
    static std::string Set(const std::string& record) { return "MEM:USR:SET " + record + "\r"; }

    // Lines the radio logged with the given marker ('<' received, '>' sent, '#' note), the text
    // after the marker only.
    std::vector<std::string> Logged(char marker) const {
        std::vector<std::string> texts;
        const std::string tag = std::string(" ") + marker + " ";
        for (const std::string& line : LogLines(log)) {
            if (const std::size_t at = line.find(tag); at != std::string::npos) {
                texts.push_back(line.substr(at + tag.size()));
            }
        }
        return texts;
    }

    static std::chrono::steady_clock::time_point Soon() {
        return std::chrono::steady_clock::now() + std::chrono::seconds(10);
    }

    TempFolder dir;
    std::string log = dir.File("radio.log");
    std::unique_ptr<radiosim::SimulatedRadio> radio;
    std::unique_ptr<PortClient> port;
};
