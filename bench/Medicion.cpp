#include "Medicion.h"

#include <cstdio>
#include <cstdlib>
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

EntornoDeMedicion::EntornoDeMedicion(const QString &carpeta)
    : entorno { carpeta, mensajes, archivos, reloj, abridor, hoja, disco }
{
}

int EntornoDeMedicion::SinMensajes::mostrar(
    const QString &texto, int, const QString &, const QString &, int)
{
    std::fprintf(stderr, "mensaje inesperado: %s\n", qPrintable(texto));
    std::abort();
}
