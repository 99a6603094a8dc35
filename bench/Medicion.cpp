#include "Medicion.h"

#include <cstdio>
#include <unistd.h>

long memoriaResidenteKiB()
{
    long paginas = 0;
    long residentes = 0;
    if (FILE *f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &paginas, &residentes) != 2)
            residentes = 0;
        std::fclose(f);
    }
    return residentes * (sysconf(_SC_PAGESIZE) / 1024);
}
