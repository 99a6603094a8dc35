#include "Analisis.h"

#include <QStringList>

#include <algorithm>
#include <cmath>

namespace {
int indice(Asignatura a)
{
    return a == Asignatura::Matematica ? 0 : 1;
}
} // namespace

Analisis::Analisis(const Claves &claves)
    : m_claves(claves)
{
}

int Analisis::agregar(const RespuestasAlumno &alumno)
{
    Acumulado &a = m_acumulados[indice(alumno.asignatura)][alumno.modelo - 1];
    std::array<bool, kPreguntas> acierto {};
    int correctas = 0;
    for (int q = 0; q < kPreguntas; ++q) {
        const char r = alumno.respuestas[q];
        acierto[q] = r != 0 && r == m_claves.letra(alumno.asignatura, alumno.modelo, q + 1);
        correctas += acierto[q];
        ++a.elecciones[q][r >= 'A' && r <= 'D' ? r - 'A' : 4];
    }
    for (int q = 0; q < kPreguntas; ++q) {
        const char r = alumno.respuestas[q];
        ++a.eleccionesPorCorrectas[correctas][q][r >= 'A' && r <= 'D' ? r - 'A' : 4];
    }
    ++a.alumnos;
    a.sumaCorrectas += correctas;
    a.sumaCuadrados += qint64(correctas) * correctas;
    ++a.histograma[correctas];
    for (int q = 0; q < kPreguntas; ++q) {
        a.aciertos[q] += acierto[q];
        a.aciertosPorCorrectas[q] += acierto[q] ? correctas : 0;
    }

    auto &clase = m_clases[{alumno.codEmpresa, alumno.nombreEscuela, alumno.turno, alumno.seccion,
                            indice(alumno.asignatura)}];
    ++clase.first;
    clase.second += 100.0 * correctas / kPreguntas;
    return correctas;
}

AnalisisModelo Analisis::resumir(Asignatura asignatura, int modelo, const Acumulado &a) const
{
    AnalisisModelo r;
    r.asignatura = asignatura;
    r.modelo = modelo;
    r.alumnos = int(a.alumnos);
    r.histograma = a.histograma;
    const double n = double(a.alumnos);
    r.media = a.sumaCorrectas / n;
    const double varianza = std::max(0.0, a.sumaCuadrados / n - r.media * r.media);
    r.desvio = std::sqrt(varianza);

    // The best 27 %: every score from the top down, and the share of the last one that fits.
    const double mejores = std::ceil(kFraccionMejores * n);
    std::array<double, kPreguntas + 1> pesoMejores {};
    double tomados = 0;
    for (int c = kPreguntas; c >= 0 && tomados < mejores; --c) {
        const int conEsta = a.histograma[c];
        if (conEsta == 0)
            continue;
        const double cuantos = std::min(double(conEsta), mejores - tomados);
        pesoMejores[c] = cuantos / conEsta;
        tomados += cuantos;
    }

    double sumaPQ = 0;
    for (int q = 0; q < kPreguntas; ++q) {
        AnalisisItem &item = r.items[q];
        item.clave = m_claves.letra(asignatura, modelo, q + 1);
        for (int o = 0; o < 4; ++o)
            item.opciones[o] = a.elecciones[q][o];
        item.sinRespuesta = a.elecciones[q][4];
        const qint64 sx = a.aciertos[q];
        item.facilidad = sx / n;
        sumaPQ += item.facilidad * (1 - item.facilidad);

        // Pearson between the question's 0/1 and the rest of the score, R = C − x, from sums:
        // Σx² = Σx, ΣR = ΣC − Σx, ΣxR = ΣxC − Σx, ΣR² = ΣC² − 2ΣxC + Σx.
        const qint64 sr = a.sumaCorrectas - sx;
        const qint64 sxr = a.aciertosPorCorrectas[q] - sx;
        const qint64 srr = a.sumaCuadrados - 2 * a.aciertosPorCorrectas[q] + sx;
        const double varX = double(a.alumnos * sx - sx * sx);
        const double varR = double(a.alumnos * srr - sr * sr);
        if (varX > 0 && varR > 0)
            item.discriminacion = double(a.alumnos * sxr - sx * sr) / std::sqrt(varX * varR);

        QStringList notas;
        if (item.discriminacion && *item.discriminacion < 0)
            notas << QStringLiteral("discriminación negativa: revisar la clave");
        else if (item.discriminacion && *item.discriminacion < kDiscriminacionBaja)
            notas << QStringLiteral("discriminación baja (menor que 0,20)");
        for (int o = 0; o < 4; ++o) {
            if (item.opciones[o] == 0)
                notas << QStringLiteral("nadie eligió la opción %1").arg(QChar('A' + o));
        }
        std::array<double, 5> entreMejores {};
        for (int c = 0; c <= kPreguntas; ++c) {
            for (int o = 0; o < 5; ++o)
                entreMejores[o] += pesoMejores[c] * a.eleccionesPorCorrectas[c][q][o];
        }
        const int clave = item.clave - 'A';
        for (int o = 0; o < 4 && clave >= 0 && clave < 4; ++o) {
            if (o != clave && entreMejores[o] > entreMejores[clave] + 1e-9)
                notas << QStringLiteral("el 27 % mejor eligió %1 más que la clave").arg(QChar('A' + o));
        }
        item.observacion = notas.join(QStringLiteral("; "));
    }
    if (a.alumnos >= 2 && varianza > 0) {
        r.kr20 = double(kPreguntas) / (kPreguntas - 1) * (1 - sumaPQ / varianza);
        r.errorEstandar = r.desvio * std::sqrt(std::max(0.0, 1 - *r.kr20));
    }
    return r;
}

std::vector<AnalisisModelo> Analisis::modelos() const
{
    std::vector<AnalisisModelo> r;
    for (Asignatura asignatura : {Asignatura::Matematica, Asignatura::Lengua}) {
        for (int m = 1; m <= kModelos; ++m) {
            const Acumulado &a = m_acumulados[indice(asignatura)][m - 1];
            if (a.alumnos > 0)
                r.push_back(resumir(asignatura, m, a));
        }
    }
    return r;
}

std::vector<AnalisisEstablecimiento> Analisis::establecimientos() const
{
    std::vector<AnalisisEstablecimiento> r;
    for (const auto &[clave, suma] : m_clases) {
        const auto &[codigo, nombre, turno, seccion, asignatura] = clave;
        r.push_back({codigo, nombre, turno, seccion, asignatura == 0 ? Asignatura::Matematica : Asignatura::Lengua,
                     int(suma.first), suma.second / double(suma.first)});
    }
    return r;
}
