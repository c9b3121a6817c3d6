// Arbitrary bytes as a configuration file, decoded as the program decodes it (UTF-8 or Shift-JIS),
// then turned into run settings.
#include "paramstore.h"
#include "runsettings.h"

#include <QBuffer>
#include <QCoreApplication>

#include <cstddef>
#include <cstdint>

static void quiet(QtMsgType, const QMessageLogContext &, const QString &) {}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const bool ready = [] {
        qInstallMessageHandler(quiet);
        return true;
    }();
    (void)ready;

    QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), int(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly | QIODevice::Text);
    ParamStore params;
    params.readConfig(buffer);

    // The settings the program takes from it (directories are not created here).
    RunSettings settings;
    setupEnvironment(&settings, params.valueNoCase(QStringLiteral("IFEFFIT_DIR")),
                     params.valueNoCase(QStringLiteral("PATH_C_BIN")),
                     params.valueNoCase(QStringLiteral("PATH_PERL_BIN")),
                     params.valueNoCase(QStringLiteral("PATH_PERL_SITE_BIN")),
                     QProcessEnvironment());
    (void)params.valueNoCase(QStringLiteral("MAX_PROC")).toInt();
    return 0;
}
