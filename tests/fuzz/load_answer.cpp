// The load exchange's answer handling: any bytes as the radio's answer to the query for memory 1,
// through the real port on a pseudo-terminal, in the editor's port settings. The load queries
// exactly as the protocol says; an answer whose line end (CR or LF) has not come is read again
// after the next pause, and asked for again only when nothing or a lone "0" came; any other is
// cut at its line end and parsed, filling the row it names and no other, or ending the load with
// the conversion error when its memory number is no integer.
//
// The real load runs, its pause is the point where the answer is sent: the first pause sends it
// and waits until the port has it all, the next one stops the load, so one input is one
// exchange and no 350 ms wait happens.

#include "FuzzSupport.h"
#include "PtyPair.h"
#include "memories/Q4471Radio.h"

#include <q4471/framework/Exception.h>
#include <q4471/framework/Thread.h>
#include <q4471/serial/VaComm.h>
#include <q4471/serial/VaPrst.h>

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <vector>

using namespace q4471;

namespace {

std::unique_ptr<TFuzzTable> table;
std::unique_ptr<PtyPair> pty;
std::unique_ptr<TVaComm> comm;
std::unique_ptr<TQ4471Radio> radio;

std::string answer;
int pauses = 0;
std::vector<std::string> statuses;
std::vector<int> progress;

bool SendAnswer(int milliseconds) {
    Require(milliseconds == TQ4471Radio::ReplyDelayMs, "a pause that is not the reply delay");
    if (++pauses > 1) {
        return false;
    }
    pty->Send(answer);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (pty->SlaveInput() < static_cast<int>(answer.size())) {
        Require(std::chrono::steady_clock::now() < deadline, "the answer did not reach the port");
        CheckSynchronize(1); // the port's deliveries to the GUI thread, as the window serves them
    }
    return true;
}

std::string Query(int memory) {
    return "MEM:USR:SET? " + std::to_string(memory) + '\r';
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    StartOffscreenApplication();
    table = std::make_unique<TFuzzTable>();
    pty = std::make_unique<PtyPair>();
    comm = std::make_unique<TVaComm>(nullptr);
    // The editor's settings: 9600 baud, 8N1, no flow control, DTR and RTS held off, direct writes.
    comm->SetBaudrate(br9600);
    comm->SetFlowControl(TVaFlowControl());
    comm->SetDirectWrite(true);
    comm->SetDeviceName(pty->SlavePath());
    comm->Open();
    // The port closes at exit before what it uses goes away: the operating system layer it
    // opened, and the queue of calls to the GUI thread, which its receive thread may be waiting
    // in (made now, so that it is destroyed after this handler has run).
    CheckSynchronize();
    std::atexit([] {
        radio.reset();
        comm.reset();
    });
    radio = std::make_unique<TQ4471Radio>(
        table->Rows(), *comm, [](const std::string& text) { statuses.push_back(text); },
        [](int memory) { progress.push_back(memory); }, SendAnswer);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 1024) {
        return -1; // more than the pseudo-terminal's input queue is sure to hold at once
    }
    table->Reset();
    answer.assign(reinterpret_cast<const char*>(data), size);
    pauses = 0;
    statuses.clear();
    progress.clear();

    const bool accepted = answer.find_first_of("\r\n") != std::string::npos;
    const TExpectedParse expected = ExpectedParse(answer.substr(0, answer.find_first_of("\r\n")));
    std::string error;
    try {
        Require(!radio->LoadFromRadio().has_value(), "the stopped load showed a final text");
    } catch (const EConvertError& raised) {
        error = raised.Message();
    }
    const bool raises = accepted && expected.raises;
    Require(error == (raises ? "'" + expected.numberField + "' is not a valid integer value" : ""),
            "the load raised " + Quoted(error));
    if (accepted && expected.memory != 0) {
        table->Expect(expected.memory, expected.values);
    }
    table->RequireExpected("the answer " + Quoted(answer));

    const bool askedAgain = !accepted && (answer.empty() || answer == "0");
    const std::string queries = Query(1) + (askedAgain            ? Query(1)
                                            : accepted && !raises ? Query(2)
                                                                  : std::string());
    const std::string sent = pty->Receive(queries.size());
    Require(sent == queries, "the port sent " + Quoted(sent) + ", expected " + Quoted(queries));
    const std::vector<std::string> texts =
        accepted ? std::vector<std::string>{"Loading from Q4471..."}
                 : std::vector<std::string>{"Loading from Q4471...", "ReadQ4471 Retry : 1"};
    Require(statuses == texts, "other status texts");
    Require(progress == (accepted && !raises ? std::vector<int>{1, 2} : std::vector<int>{1}),
            "other progress");
    return 0;
}
