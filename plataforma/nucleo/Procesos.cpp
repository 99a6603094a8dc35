#include "Procesos.h"

#ifdef Q_OS_WIN
#include <windows.h>
#else
#include <QFile>
#include <QList>

#include <unistd.h>
#endif

qint64 tiempoDeProcesadorMs(qint64 pid)
{
    if (pid <= 0)
        return -1;
#ifdef Q_OS_WIN
    HANDLE proceso = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, DWORD(pid));
    if (!proceso)
        return -1;
    FILETIME creado, terminado, nucleo, usuario;
    const bool leido = GetProcessTimes(proceso, &creado, &terminado, &nucleo, &usuario);
    CloseHandle(proceso);
    if (!leido)
        return -1;
    const auto enMs = [](const FILETIME &t) {
        return qint64((quint64(t.dwHighDateTime) << 32 | t.dwLowDateTime) / 10000);
    };
    return enMs(nucleo) + enMs(usuario);
#else
    // /proc/PID/stat: the command sits between parentheses and may hold spaces, so the fields
    // are counted from the last ")": utime and stime are the 14th and 15th of the line.
    QFile estado(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!estado.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray linea = estado.readAll();
    const qsizetype cierre = linea.lastIndexOf(')');
    const QList<QByteArray> campos = linea.mid(cierre + 2).split(' ');
    const long tics = sysconf(_SC_CLK_TCK);
    if (cierre < 0 || campos.size() < 13 || tics <= 0)
        return -1;
    bool usuarioLeido = false;
    bool sistemaLeido = false;
    const qint64 tiempo
        = campos.at(11).toLongLong(&usuarioLeido) + campos.at(12).toLongLong(&sistemaLeido);
    if (!usuarioLeido || !sistemaLeido)
        return -1;
    return tiempo * 1000 / tics;
#endif
}
