#pragma once

#include "serial/VaClasses.h"
#include "serial/VaTypes.h"
#include "serial/Vaconst.h"

#include <array>
#include <atomic>

// The port's option groups. Each setter reports a change through OnChange; Assign copies a group
// of the same class with one notification for the whole copy, and raises the framework's
// assignment error for any other source, keeping the group's values. The fields are read by the
// component's threads; they are changed on the owner's thread.

// Hardware and software flow control. Setters ignore an equal value.
class TVaFlowControl : public TVaPersistent {
public:
    bool OutCtsFlow() const { return outCtsFlow_; }
    bool OutDsrFlow() const { return outDsrFlow_; }
    TVaControlDtr ControlDtr() const { return controlDtr_; }
    TVaControlRts ControlRts() const { return controlRts_; }
    bool XonXoffOut() const { return xonXoffOut_; }
    bool XonXoffIn() const { return xonXoffIn_; }
    bool DsrSensitivity() const { return dsrSensitivity_; }
    bool TxContinueOnXoff() const { return txContinueOnXoff_; }

    void SetOutCtsFlow(bool value) { SetField(outCtsFlow_, value); }
    void SetOutDsrFlow(bool value) { SetField(outDsrFlow_, value); }
    void SetControlDtr(TVaControlDtr value) { SetField(controlDtr_, value); }
    void SetControlRts(TVaControlRts value) { SetField(controlRts_, value); }
    void SetXonXoffOut(bool value) { SetField(xonXoffOut_, value); }
    void SetXonXoffIn(bool value) { SetField(xonXoffIn_, value); }
    void SetDsrSensitivity(bool value) { SetField(dsrSensitivity_, value); }
    void SetTxContinueOnXoff(bool value) { SetField(txContinueOnXoff_, value); }

    void Assign(const TPersistent& source) override;

private:
    std::atomic<bool> outCtsFlow_{false};
    std::atomic<bool> outDsrFlow_{false};
    std::atomic<TVaControlDtr> controlDtr_{dtrDisabled};
    std::atomic<TVaControlRts> controlRts_{rtsDisabled};
    std::atomic<bool> xonXoffOut_{false};
    std::atomic<bool> xonXoffIn_{false};
    std::atomic<bool> dsrSensitivity_{false};
    std::atomic<bool> txContinueOnXoff_{false};
};

// The line's special characters. All five share SetEventChar, which notifies on every call.
class TVaEventChars : public TVaPersistent {
public:
    // Indexes of SetEventChar.
    static constexpr int XonIndex = 1;
    static constexpr int XoffIndex = 2;
    static constexpr int ErrorIndex = 3;
    static constexpr int EventIndex = 4;
    static constexpr int EofIndex = 5;

    char XonChar() const { return Get(XonIndex); }
    char XoffChar() const { return Get(XoffIndex); }
    char ErrorChar() const { return Get(ErrorIndex); }
    char EventChar() const { return Get(EventIndex); }
    char EofChar() const { return Get(EofIndex); }

    // Stores `value` as the character of `index` (1..5; any other index stores nothing) and calls
    // Changed in every case, also when the value is unchanged.
    void SetEventChar(int index, char value);

    void Assign(const TPersistent& source) override;

private:
    char Get(int index) const { return chars_[index - 1].load(std::memory_order_relaxed); }

    // Xon DC1, Xoff DC3, error, event and end-of-file character none.
    std::array<std::atomic<char>, 5> chars_{'\x11', '\x13', '\0', '\0', '\0'};
};

// Queue sizes, time-outs and flow-control limits. The four sizes and limits notify on a change;
// ReadTimeout and WriteTimeout are plain values that notify nobody.
class TVaBuffers : public TVaPersistent {
public:
    TVaIntW ReadSize() const { return readSize_; }
    TVaIntW WriteSize() const { return writeSize_; }
    TVaIntW ReadTimeout() const { return readTimeout_; }
    TVaIntW WriteTimeout() const { return writeTimeout_; }
    TVaIntW XonLimit() const { return xonLimit_; }
    TVaIntW XoffLimit() const { return xoffLimit_; }

    void SetReadSize(TVaIntW value) { SetField(readSize_, value); }
    void SetWriteSize(TVaIntW value) { SetField(writeSize_, value); }
    void SetReadTimeout(TVaIntW value) { readTimeout_ = value; }
    void SetWriteTimeout(TVaIntW value) { writeTimeout_ = value; }
    void SetXonLimit(TVaIntW value) { SetField(xonLimit_, value); }
    void SetXoffLimit(TVaIntW value) { SetField(xoffLimit_, value); }

    void Assign(const TPersistent& source) override;

private:
    std::atomic<TVaIntW> readSize_{4096};
    std::atomic<TVaIntW> writeSize_{2048};
    std::atomic<TVaIntW> readTimeout_{1000};
    std::atomic<TVaIntW> writeTimeout_{1000};
    std::atomic<TVaIntW> xonLimit_{1024};
    std::atomic<TVaIntW> xoffLimit_{1024};
};
