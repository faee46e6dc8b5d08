// SPDX-License-Identifier: GPL-3.0-or-later
// libFuzzer target: arbitrary bytes, decoded as the client decodes a reply, through HardWareInfo::parseServerData.
// Checks what must hold for any text: a rejected document writes nothing, every field written is 0 or above its
// threshold, and the outcome equals a plain full-DOM walk of the same rules.
#include "hardwareinfo.h"
#include "hardwareinfoprobe.h"
#include "referencewalk.h"

#include <QCoreApplication>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {
// Never a value the parser writes (it writes 0 or readings above a positive threshold), so an untouched field shows.
constexpr int kUntouched = -7777;

HardWareInfo* parser = nullptr;

[[noreturn]] void fail(const char* what, const ST_VOVIREDO_DATA& got, const ReferenceReading& want)
{
    std::fprintf(stderr,
                 "fuzz_sensordocument: %s\n  parser:    cputmp %d cpuload %d cpufan %d\n"
                 "  reference: cputmp %d cpuload %d cpufan %d\n",
                 what,
                 got.cputmp,
                 got.cpuload,
                 got.cpufan,
                 want.cputmp,
                 want.cpuload,
                 want.cpufan);
    std::abort();
}

bool plausible(int field, int threshold)
{
    return field == kUntouched || field == 0 || field > threshold;
}
} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    // HardWareInfo looks up its server beside the application; nothing is started here.
    static QCoreApplication app(*argc, *argv);
    parser = new HardWareInfo;
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data), int(size));

    HardWareInfoProbe::setServerData(*parser, ST_VOVIREDO_DATA {kUntouched, kUntouched, kUntouched});
    bool accepted = false;
    if (!QMetaObject::invokeMethod(
            parser, "parseServerData", Qt::DirectConnection, Q_RETURN_ARG(bool, accepted), Q_ARG(QString, text))) {
        std::fprintf(stderr, "fuzz_sensordocument: parseServerData is not invokable\n");
        std::abort();
    }
    const ST_VOVIREDO_DATA got = HardWareInfoProbe::serverData(*parser);

    ReferenceReading want {kUntouched, kUntouched, kUntouched};
    const bool wantAccepted = referenceWalk(text, &want);

    if (!accepted && (got.cputmp != kUntouched || got.cpuload != kUntouched || got.cpufan != kUntouched)) {
        fail("rejected document wrote a field", got, want);
    }
    if (!plausible(got.cputmp, 25) || !plausible(got.cpuload, 0) || !plausible(got.cpufan, 500)) {
        fail("field neither 0 nor above its threshold", got, want);
    }
    if (accepted != wantAccepted) {
        fail(accepted ? "accepted, reference rejects" : "rejected, reference accepts", got, want);
    }
    if (got.cputmp != want.cputmp || got.cpuload != want.cpuload || got.cpufan != want.cpufan) {
        fail("figures differ from the reference walk", got, want);
    }
    return 0;
}
