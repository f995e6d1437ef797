#pragma once

#include "platform/audio_input.h"

#include <QList>
#include <QString>

#include <optional>

// The microphones the user can choose from, and the one they chose.
namespace zelk::MicDevices {

struct Device {
    quint32 id = 0;
    QString uid;
    QString name;
    bool isBluetooth = false;
    bool operator==(const Device&) const = default;
};

// Capture sources that are not monitors of an output, in the server's order;
// a source without a description is listed under its uid. Empty when the
// server cannot be asked. Waits for the sound server: keep it off the main thread.
QList<Device> inputDevices(AudioInput& input);

// "micDeviceUID" when set and not empty.
std::optional<QString> selectedUID();

// The id of the first input device with this uid.
std::optional<quint32> deviceID(AudioInput& input, const QString& uid);

} // namespace zelk::MicDevices
