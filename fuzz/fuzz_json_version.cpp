// The map's flat JSON scanner and the update check's version files on any text.

#include <QByteArray>
#include <QString>
#include <cstddef>
#include <cstdint>

#include "maintenance/update_check.h"
#include "map/c_json_holder.h"

using namespace tavrilo;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    CJsonHolder json;
    json.Parse(QString::fromUtf8(bytes));
    json.Serialise();
    if (const auto version = VersionFromBody(bytes)) {
        UpdateFindings f;
        f.cardFirmware = ReduceFirmware(*version);
        f.latestFirmware = version;
        f.latestViewer = version;
        f.firmwarePage = QStringLiteral("http://h/fw.html");
        f.viewerPage = QStringLiteral("http://h/viewer.html");
        BuildUpdateMessage(f);
    }
    return 0;
}
