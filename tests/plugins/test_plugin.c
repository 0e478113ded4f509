/* A stand-in for the browser helper library. Its entry points return the number in
 * QB_TESTPLUGIN_STATUS (0 when unset) and append their name to the file named by
 * QB_TESTPLUGIN_LOG, so tests can both steer and observe the calls. Built once with the
 * entry points and once without (QB_NO_ENTRY_POINTS). */
#include <stdio.h>
#include <stdlib.h>

#ifndef QB_NO_ENTRY_POINTS
static long answer(const char* entry) {
    const char* log = getenv("QB_TESTPLUGIN_LOG");
    if (log && *log) {
        FILE* f = fopen(log, "a");
        if (f) {
            fprintf(f, "%s\n", entry);
            fclose(f);
        }
    }
    const char* status = getenv("QB_TESTPLUGIN_STATUS");
    return status ? strtol(status, NULL, 10) : 0;
}

long DllRegisterServer(void) {
    return answer("DllRegisterServer");
}

long DllUnregisterServer(void) {
    return answer("DllUnregisterServer");
}
#else
int qbTestPluginWithoutEntryPoints(void) {
    return 1;
}
#endif
