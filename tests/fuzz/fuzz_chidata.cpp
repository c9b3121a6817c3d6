// Arbitrary bytes as a chi.dat.
#include "chidata.h"

#include <QBuffer>

#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

static void quiet(QtMsgType, const QMessageLogContext &, const QString &) {}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    static const bool ready = (qInstallMessageHandler(quiet), true);
    (void)ready;

    QByteArray bytes = QByteArray::fromRawData(reinterpret_cast<const char *>(data), int(size));
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::ReadOnly | QIODevice::Text);
    ChiData chi;
    chi.readFrom(buffer);

    // Data the plot can trust: paired columns, finite points inside finite extremes.
    if (chi.kValues.size() != chi.chiValues.size() || chi.valid == chi.kValues.isEmpty())
        std::abort();
    for (int i = 0; i < chi.kValues.size(); ++i) {
        const double k = chi.kValues.at(i);
        const double c = chi.chiValues.at(i);
        if (!std::isfinite(k) || !std::isfinite(c) || k < chi.kMin() || k > chi.kMax()
            || c < chi.chiMin() || c > chi.chiMax())
            std::abort();
    }
    return 0;
}
