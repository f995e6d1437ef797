#include "asr/mic_devices.h"

#include "core/log.h"
#include "core/settings.h"

namespace zelk::MicDevices {

QList<Device> inputDevices(AudioInput& input) {
    QList<AudioSource> sources;
    try {
        sources = input.sources();
    } catch (const AudioInputError& e) {
        qCDebug(Log::audio()) << "读取输入设备失败：" << e.what();
        return {};
    }
    QList<Device> devices;
    for (const AudioSource& s : sources) {
        if (s.isMonitor || s.name.isEmpty())
            continue;
        devices.append(Device{s.index, s.name, s.description.isEmpty() ? s.name : s.description, s.isBluetooth});
    }
    return devices;
}

std::optional<QString> selectedUID() {
    auto uid = Settings::micDeviceUID();
    if (!uid || uid->isEmpty())
        return std::nullopt;
    return uid;
}

std::optional<quint32> deviceID(AudioInput& input, const QString& uid) {
    for (const Device& d : inputDevices(input))
        if (d.uid == uid)
            return d.id;
    return std::nullopt;
}

} // namespace zelk::MicDevices
