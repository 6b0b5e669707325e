#pragma once

#include <q4471/framework/Export.h>
#include <q4471/serial/VaClasses.h>
#include <q4471/serial/VaTypes.h>
#include <q4471/serial/Vaconst.h>

#include <array>
#include <atomic>

/// @file
/// The port's option groups. Each setter reports a change through OnChange; Assign copies a group
/// of the same class with one notification for the whole copy, and raises the framework's
/// assignment error (EConvertError) for any other source, keeping the group's values. A change
/// that the owner refuses (the port: a setting the device refuses, ekRefusedSetting with the
/// group's name in Setting(), or a size or limit of an open port's Buffers, ekPortOpen) raises
/// EVaCommError and leaves the group as it was, whole. The fields are read by the
/// component's threads; they are changed on the owner's thread.

/// Hardware and software flow control. Setters ignore an equal value. The port writes a change
/// to its open device at once.
class Q4471_API TVaFlowControl : public TVaPersistent {
public:
    /// Output waits while CTS is off (hardware handshake). Default false.
    bool OutCtsFlow() const { return outCtsFlow_; }
    /// Output waits while DSR is off. Default false. Linux has no such mode: the port refuses
    /// it there with the device-settings error (ekRefusedSetting).
    bool OutDsrFlow() const { return outDsrFlow_; }
    /// How the DTR line is driven. Default dtrDisabled.
    TVaControlDtr ControlDtr() const { return controlDtr_; }
    /// How the RTS line is driven. Default rtsDisabled.
    TVaControlRts ControlRts() const { return controlRts_; }
    /// Output stops at XOFF and goes on at XON received from the peer. Default false.
    bool XonXoffOut() const { return xonXoffOut_; }
    /// XOFF is sent when the receive queue nears full, XON when it has room again. Default false.
    bool XonXoffIn() const { return xonXoffIn_; }
    /// Received bytes are ignored while DSR is off. Default false. Refused on Linux, as
    /// OutDsrFlow.
    bool DsrSensitivity() const { return dsrSensitivity_; }
    /// Output goes on after XOFF has been sent. Default false.
    bool TxContinueOnXoff() const { return txContinueOnXoff_; }

    /// Sets OutCtsFlow.
    void SetOutCtsFlow(bool value) { SetField(outCtsFlow_, value); }
    /// Sets OutDsrFlow.
    void SetOutDsrFlow(bool value) { SetField(outDsrFlow_, value); }
    /// Sets ControlDtr.
    void SetControlDtr(TVaControlDtr value) { SetField(controlDtr_, value); }
    /// Sets ControlRts.
    void SetControlRts(TVaControlRts value) { SetField(controlRts_, value); }
    /// Sets XonXoffOut.
    void SetXonXoffOut(bool value) { SetField(xonXoffOut_, value); }
    /// Sets XonXoffIn.
    void SetXonXoffIn(bool value) { SetField(xonXoffIn_, value); }
    /// Sets DsrSensitivity.
    void SetDsrSensitivity(bool value) { SetField(dsrSensitivity_, value); }
    /// Sets TxContinueOnXoff.
    void SetTxContinueOnXoff(bool value) { SetField(txContinueOnXoff_, value); }

    /// Copies another TVaFlowControl with one notification; raises EConvertError for any other
    /// source.
    void Assign(const q4471::TPersistent& source) override;

private:
    void CopyFields(const TVaFlowControl& other);

    std::atomic<bool> outCtsFlow_{false};
    std::atomic<bool> outDsrFlow_{false};
    std::atomic<TVaControlDtr> controlDtr_{dtrDisabled};
    std::atomic<TVaControlRts> controlRts_{rtsDisabled};
    std::atomic<bool> xonXoffOut_{false};
    std::atomic<bool> xonXoffIn_{false};
    std::atomic<bool> dsrSensitivity_{false};
    std::atomic<bool> txContinueOnXoff_{false};
};

/// The line's special characters. All five share SetEventChar, which notifies on every call.
class Q4471_API TVaEventChars : public TVaPersistent {
public:
    // Indexes of SetEventChar.
    /// Index of XonChar for SetEventChar.
    static constexpr int XonIndex = 1;
    /// Index of XoffChar.
    static constexpr int XoffIndex = 2;
    /// Index of ErrorChar.
    static constexpr int ErrorIndex = 3;
    /// Index of EventChar.
    static constexpr int EventIndex = 4;
    /// Index of EofChar.
    static constexpr int EofIndex = 5;

    /// The character that resumes output under XON/XOFF flow control. Default DC1 (0x11).
    char XonChar() const { return Get(XonIndex); }
    /// The character that holds output under XON/XOFF flow control. Default DC3 (0x13).
    char XoffChar() const { return Get(XoffIndex); }
    /// Replaces a byte received with a parity error when the option coErrorChar is set. Default
    /// 0.
    char ErrorChar() const { return Get(ErrorIndex); }
    /// Its arrival raises the line event ceRxFlag (OnRxFlag). Default 0.
    char EventChar() const { return Get(EventIndex); }
    /// The end-of-input character. Default 0.
    char EofChar() const { return Get(EofIndex); }

    /// Stores `value` as the character of `index` (1..5; any other index stores nothing) and calls
    /// Changed in every case, also when the value is unchanged.
    void SetEventChar(int index, char value);

    /// Copies another TVaEventChars with one notification; raises EConvertError for any other
    /// source.
    void Assign(const q4471::TPersistent& source) override;

private:
    void CopyFields(const TVaEventChars& other);
    char Get(int index) const { return chars_[index - 1].load(std::memory_order_relaxed); }

    // Xon DC1, Xoff DC3, error, event and end-of-file character none.
    std::array<std::atomic<char>, 5> chars_{'\x11', '\x13', '\0', '\0', '\0'};
};

/// Queue sizes, time-outs and flow-control limits. The four sizes and limits notify on a change;
/// ReadTimeout and WriteTimeout are plain values that notify nobody.
class Q4471_API TVaBuffers : public TVaPersistent {
public:
    /// The receive queue's size in bytes, asked of the driver at Open. Default 4096.
    TVaIntW ReadSize() const { return readSize_; }
    /// The transmit queue's size in bytes (the queue of queued writes). Default 2048.
    TVaIntW WriteSize() const { return writeSize_; }
    /// Milliseconds a direct write waits for the device to take its bytes. Default 1000.
    TVaIntW ReadTimeout() const { return readTimeout_; }
    /// Milliseconds a queued write waits for room in the transmit queue. Default 1000.
    TVaIntW WriteTimeout() const { return writeTimeout_; }
    /// Bytes left in the receive queue at which XON is sent again (flow control in). Default
    /// 1024.
    TVaIntW XonLimit() const { return xonLimit_; }
    /// Free bytes left in the receive queue at which XOFF is sent (flow control in). Default
    /// 1024.
    TVaIntW XoffLimit() const { return xoffLimit_; }

    /// Sets ReadSize.
    void SetReadSize(TVaIntW value) { SetField(readSize_, value); }
    /// Sets WriteSize.
    void SetWriteSize(TVaIntW value) { SetField(writeSize_, value); }
    /// Sets ReadTimeout; notifies nobody, used from the next write.
    void SetReadTimeout(TVaIntW value) { readTimeout_ = value; }
    /// Sets WriteTimeout; notifies nobody, used from the next write.
    void SetWriteTimeout(TVaIntW value) { writeTimeout_ = value; }
    /// Sets XonLimit.
    void SetXonLimit(TVaIntW value) { SetField(xonLimit_, value); }
    /// Sets XoffLimit.
    void SetXoffLimit(TVaIntW value) { SetField(xoffLimit_, value); }

    /// Copies another TVaBuffers with one notification; raises EConvertError for any other
    /// source.
    void Assign(const q4471::TPersistent& source) override;

private:
    void CopyFields(const TVaBuffers& other);

    std::atomic<TVaIntW> readSize_{4096};
    std::atomic<TVaIntW> writeSize_{2048};
    std::atomic<TVaIntW> readTimeout_{1000};
    std::atomic<TVaIntW> writeTimeout_{1000};
    std::atomic<TVaIntW> xonLimit_{1024};
    std::atomic<TVaIntW> xoffLimit_{1024};
};
