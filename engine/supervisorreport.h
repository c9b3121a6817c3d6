// What orbelin-run tells the program that started it, on its file descriptor 3: one record
// once the program it runs has started (or could not), one when the program and every
// process it started have ended. orbelin-run is plain C and reads the C half; Orbelin the
// C++ half; the two describe the same bytes.
#ifndef SUPERVISORREPORT_H
#define SUPERVISORREPORT_H

#ifdef __cplusplus

#include <cstdint>

struct SupervisorReport
{
    enum Kind : int32_t {
        Started = 1, // value: the program's process id
        NotStarted = 2, // value: errno of the fork or the exec
        Exited = 3, // value: exit status
        Killed = 4, // value: signal
    };
    int32_t kind = 0;
    int32_t value = 0;
    // The program ended while processes it started still ran; they were ended.
    int32_t outlived = 0;
    int32_t reserved = 0;
};

// The descriptor orbelin-run writes its records to.
constexpr int supervisorReportFd = 3;

#else

#include <stdint.h>

enum { reportStarted = 1, reportNotStarted = 2, reportExited = 3, reportKilled = 4 };

struct SupervisorReport
{
    int32_t kind;
    int32_t value;
    int32_t outlived;
    int32_t reserved;
};

enum { supervisorReportFd = 3 };

#endif

#endif
