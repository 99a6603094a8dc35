#pragma once

#include "Entorno.h"

#include <QElapsedTimer>

#include <algorithm>
#include <functional>
#include <vector>

// Median duration in milliseconds of `repeticiones` runs of `paso`, after a few warm-up runs.
inline double medianaMs(int repeticiones, const std::function<void()> &paso)
{
    for (int i = 0; i < 5; ++i)
        paso();
    std::vector<double> tiempos;
    tiempos.reserve(size_t(repeticiones));
    QElapsedTimer reloj;
    for (int i = 0; i < repeticiones; ++i) {
        reloj.start();
        paso();
        tiempos.push_back(double(reloj.nsecsElapsed()) / 1e6);
    }
    std::nth_element(tiempos.begin(), tiempos.begin() + repeticiones / 2, tiempos.end());
    return tiempos[size_t(repeticiones / 2)];
}

// Medians in milliseconds of several steps measured in turns, so that a slower or faster
// stretch of the machine affects all of them alike.
inline std::vector<double> medianasIntercaladasMs(
    int repeticiones, const std::vector<std::function<void()>> &pasos)
{
    std::vector<std::vector<double>> tiempos(pasos.size());
    QElapsedTimer reloj;
    for (int i = -5; i < repeticiones; ++i) {
        for (size_t k = 0; k < pasos.size(); ++k) {
            reloj.start();
            pasos[k]();
            if (i >= 0)
                tiempos[k].push_back(double(reloj.nsecsElapsed()) / 1e6);
        }
    }
    std::vector<double> medianas;
    for (auto &t : tiempos) {
        std::nth_element(t.begin(), t.begin() + repeticiones / 2, t.end());
        medianas.push_back(t[size_t(repeticiones / 2)]);
    }
    return medianas;
}

// Resident memory of the process in KiB.
long memoriaResidenteKiB();

// The real services for a program folder, with no person in front of the screen: a message
// box in a benchmark means something went wrong, and documents are not opened.
struct EntornoDeMedicion {
    explicit EntornoDeMedicion(const QString &carpeta);

    class SinMensajes final : public IMensajes {
    public:
        int mostrar(const QString &texto, int, const QString &, const QString &, int) override;
    };
    class SinAbridor final : public IAbridorDocumentos {
    public:
        void abrir(const QString &) override { }
    };
    SinMensajes mensajes;
    ArchivosLocales archivos;
    RelojSistema reloj;
    SinAbridor abridor;
    DiscoLocal disco;
    LibroXlsx hoja { disco };
    Entorno entorno;
};
