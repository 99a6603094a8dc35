#include "Analisis.h"

#include <QStringList>

#include <algorithm>
#include <cmath>

QString textoMuestraInsuficiente(const QString &alumnos)
{
    return QStringLiteral("muestra insuficiente (N = %1)").arg(alumnos);
}

Analisis::Analisis(const Claves &claves, int minimoParaSenalar)
    : m_claves(claves)
    , m_minimoParaSenalar(minimoParaSenalar)
{
}

int Analisis::agregar(const RespuestasAlumno &alumno)
{
    int correctas = 0;
    sumar(alumno, 1, &correctas);
    return correctas;
}

void Analisis::quitar(const RespuestasAlumno &alumno)
{
    int correctas = 0;
    sumar(alumno, -1, &correctas);
}

// Everything kept of a student is a count or a sum: taking one back is adding with −1.
void Analisis::sumar(const RespuestasAlumno &alumno, int signo, int *puntaje)
{
    Acumulado &a = m_acumulados[indiceMateria(alumno.asignatura)][alumno.modelo - 1];
    std::array<bool, kPreguntas> acierto {};
    int correctas = 0;
    for (int q = 0; q < kPreguntas; ++q) {
        const char r = alumno.respuestas[q];
        acierto[q] = r != 0 && r == m_claves.letra(alumno.asignatura, alumno.modelo, q + 1);
        correctas += acierto[q];
        a.elecciones[q][r >= 'A' && r <= 'D' ? r - 'A' : 4] += signo;
    }
    const bool conSexo = alumno.sexo == 1 || alumno.sexo == 2;
    for (int q = 0; q < kPreguntas; ++q) {
        const char r = alumno.respuestas[q];
        a.eleccionesPorCorrectas[correctas][q][r >= 'A' && r <= 'D' ? r - 'A' : 4] += signo;
        if (conSexo)
            a.porSexo[correctas][q][alumno.sexo - 1][acierto[q] ? 0 : 1] += signo;
    }
    if (conSexo)
        a.alumnosPorSexo[alumno.sexo - 1] += signo;
    a.alumnos += signo;
    a.sumaCorrectas += signo * correctas;
    a.sumaCuadrados += signo * qint64(correctas) * correctas;
    a.histograma[correctas] += signo;
    for (int q = 0; q < kPreguntas; ++q) {
        a.aciertos[q] += signo * acierto[q];
        a.aciertosPorCorrectas[q] += acierto[q] ? signo * correctas : 0;
    }
    auto &clase = m_clases[{ alumno.codEmpresa, alumno.nombreEscuela, alumno.turno, alumno.seccion,
        indiceMateria(alumno.asignatura) }];
    clase[alumno.modelo - 1][correctas] += signo;
    *puntaje = correctas;
}

qint64 alumnosDelGrupoExtremo(qint64 alumnos)
{
    return (Analisis::kPorcientoExtremos * alumnos + 99) / 100;
}

std::array<double, kPreguntas + 1> equiparar(const std::array<int, kPreguntas + 1> &modelo,
    const std::array<qint64, kPreguntas + 1> &referencia)
{
    // Counts, not shares, so that every comparison is exact: the percentile rank of x is
    // P(x)/100 = (2 F(x−1) + f(x)) / 2 N, in students.
    qint64 nModelo = 0, nReferencia = 0;
    for (int x = 0; x <= kPreguntas; ++x) {
        nModelo += modelo[x];
        nReferencia += referencia[x];
    }
    std::array<qint64, kPreguntas + 2> acumulada {}; // acumulada[x + 1] = F_ref(x) · N_ref
    for (int x = 0; x <= kPreguntas; ++x)
        acumulada[x + 1] = acumulada[x] + referencia[x];
    std::array<double, kPreguntas + 1> e {};
    qint64 debajo = 0; // F_m(x − 1) · N_m
    for (int x = 0; x <= kPreguntas; ++x) {
        const qint64 rango = 2 * debajo + modelo[x]; // P(x)/100 · 2 N_m
        debajo += modelo[x];
        if (rango >= 2 * nModelo) {
            e[x] = kPreguntas + 0.5;
            continue;
        }
        // The smallest score whose cumulative share in the reference exceeds the rank.
        int u = 0;
        while (acumulada[u + 1] * 2 * nModelo <= rango * nReferencia)
            ++u;
        const double p = double(rango) / double(2 * nModelo);
        e[x] = (p * double(nReferencia) - double(acumulada[u])) / double(referencia[u]) + u - 0.5;
    }
    return e;
}

std::array<double, kPreguntas + 1> equipararLineal(const std::array<int, kPreguntas + 1> &modelo,
    const std::array<qint64, kPreguntas + 1> &referencia)
{
    auto momentos = [](const auto &h) {
        double n = 0, suma = 0, cuadrados = 0;
        for (int x = 0; x <= kPreguntas; ++x) {
            n += double(h[x]);
            suma += double(h[x]) * x;
            cuadrados += double(h[x]) * x * x;
        }
        const double media = suma / n;
        return std::pair { media, std::sqrt(std::max(0.0, cuadrados / n - media * media)) };
    };
    const auto [mediaModelo, desvioModelo] = momentos(modelo);
    const auto [mediaReferencia, desvioReferencia] = momentos(referencia);
    std::array<double, kPreguntas + 1> e {};
    for (int x = 0; x <= kPreguntas; ++x)
        e[x] = desvioModelo > 0
            ? mediaReferencia + desvioReferencia / desvioModelo * (x - mediaModelo)
            : x - mediaModelo + mediaReferencia;
    return e;
}

QString textoMetodo(AnalisisModelo::Metodo metodo)
{
    switch (metodo) {
    case AnalisisModelo::Metodo::Equipercentil:
        return QStringLiteral("equipercentil");
    case AnalisisModelo::Metodo::Lineal:
        return QStringLiteral("lineal (menos de %1 alumnos)").arg(Analisis::kMinimoParaEquiparar);
    case AnalisisModelo::Metodo::Ninguno:
        break;
    }
    return QStringLiteral("sin equiparar (menos de %1 alumnos)")
        .arg(Analisis::kMinimoParaEquipararLineal);
}

double Analisis::equiparado(Asignatura asignatura, int modelo, int correctas) const
{
    return m_equiparacion[indiceMateria(asignatura)][modelo - 1][correctas];
}

EstadisticoDif mantelHaenszel(const std::vector<std::array<int, 4>> &estratos)
{
    // ΣR and ΣS make α; the sums of P·R, P·S + Q·R and Q·S its variance (Robins, Breslow and
    // Greenland), with P = (A + D)/T, Q = (B + C)/T, R = AD/T, S = BC/T.
    double R = 0, S = 0, PR = 0, PSQR = 0, QS = 0, sumaA = 0, esperada = 0, varianza = 0;
    for (const auto &[a, b, c, d] : estratos) {
        const double A = a, B = b, C = c, D = d;
        const double T = A + B + C + D;
        if (A + B == 0 || C + D == 0)
            continue;
        const double p = (A + D) / T, q = (B + C) / T, r = A * D / T, s = B * C / T;
        R += r;
        S += s;
        PR += p * r;
        PSQR += p * s + q * r;
        QS += q * s;
        sumaA += A;
        esperada += (A + B) * (A + C) / T;
        if (T >= 2)
            varianza += (A + B) * (C + D) * (A + C) * (B + D) / (T * T * (T - 1));
    }
    EstadisticoDif e;
    if (R <= 0 || S <= 0 || varianza <= 0)
        return e;
    e.delta = -2.35 * std::log(R / S);
    e.errorEstandar = 2.35 * std::sqrt(PR / (2 * R * R) + PSQR / (2 * R * S) + QS / (2 * S * S));
    const double desvio = std::fabs(sumaA - esperada);
    const double correccion = desvio >= 0.5 ? 0.5 : 0.0;
    e.chi2 = std::pow(desvio - correccion, 2) / varianza;
    const double d = std::fabs(*e.delta);
    if (d < Analisis::kDifDeltaB || *e.chi2 < Analisis::kChi2Significativo)
        e.categoria = QStringLiteral("A");
    else if (d >= Analisis::kDifDeltaC
        && (d - Analisis::kDifDeltaB) / *e.errorEstandar > Analisis::kNormalUnilateral)
        e.categoria = QStringLiteral("C");
    else
        e.categoria = QStringLiteral("B");
    return e;
}

Analisis::PesosGrupo Analisis::pesosExtremos(const Acumulado &a, qint64 grupo, bool desdeArriba)
{
    // Every score from the top (or the bottom), and the share of the last one that fits.
    PesosGrupo peso {};
    qint64 tomados = 0;
    for (int i = 0; i <= kPreguntas && tomados < grupo; ++i) {
        const int c = desdeArriba ? kPreguntas - i : i;
        const int conEsta = a.histograma[c];
        if (conEsta == 0)
            continue;
        const qint64 cuantos = std::min<qint64>(conEsta, grupo - tomados);
        peso[c] = double(cuantos) / conEsta;
        tomados += cuantos;
    }
    return peso;
}

void Analisis::correlaciones(const Acumulado &a, int q, qint64 grupo, const PesosGrupo &mejores,
    const PesosGrupo &peores, AnalisisItem &item, std::array<double, 5> *entreMejores)
{
    // Pearson between the question's 0/1 and the rest of the score, R = C − x, from sums:
    // Σx² = Σx, ΣR = ΣC − Σx, ΣxR = ΣxC − Σx, ΣR² = ΣC² − 2ΣxC + Σx.
    const qint64 sx = a.aciertos[q];
    const qint64 sr = a.sumaCorrectas - sx;
    const qint64 sxr = a.aciertosPorCorrectas[q] - sx;
    const qint64 srr = a.sumaCuadrados - 2 * a.aciertosPorCorrectas[q] + sx;
    const double varX = double(a.alumnos * sx - sx * sx);
    const double varR = double(a.alumnos * srr - sr * sr);
    if (varX > 0 && varR > 0)
        item.discriminacion = double(a.alumnos * sxr - sx * sr) / std::sqrt(varX * varR);

    std::array<double, 5> entrePeores {};
    std::array<qint64, 4> eleccionPorCorrectas {}; // Σ C over the students who chose each option
    *entreMejores = {};
    for (int c = 0; c <= kPreguntas; ++c) {
        for (int o = 0; o < 5; ++o) {
            (*entreMejores)[o] += mejores[c] * a.eleccionesPorCorrectas[c][q][o];
            entrePeores[o] += peores[c] * a.eleccionesPorCorrectas[c][q][o];
            if (o < 4)
                eleccionPorCorrectas[o] += qint64(c) * a.eleccionesPorCorrectas[c][q][o];
        }
    }
    const int clave = item.clave - 'A';
    for (int o = 0; o < 4; ++o) {
        item.entreMejores[o] = grupo ? (*entreMejores)[o] / double(grupo) : 0;
        item.entrePeores[o] = grupo ? entrePeores[o] / double(grupo) : 0;
        // Pearson between choosing o (y) and the rest R: Σy² = Σy, ΣyR = ΣyC − Σyx.
        const qint64 sy = a.elecciones[q][o];
        const qint64 syr = eleccionPorCorrectas[o] - (o == clave ? sy : 0);
        const double varY = double(a.alumnos * sy - sy * sy);
        if (varY > 0 && varR > 0)
            item.correlacionOpcion[o] = double(a.alumnos * syr - sy * sr) / std::sqrt(varY * varR);
    }
}

void Analisis::difPorSexo(const Acumulado &a, int q, AnalisisItem &item)
{
    if (a.alumnosPorSexo[0] < kMinimoPorSexoDif || a.alumnosPorSexo[1] < kMinimoPorSexoDif) {
        item.difCategoria = textoMuestraInsuficiente(
            QStringLiteral("%1 y %2").arg(a.alumnosPorSexo[0]).arg(a.alumnosPorSexo[1]));
        return;
    }
    // Strata: the scores; reference Sexo 1 right and wrong, then focal Sexo 2.
    std::vector<std::array<int, 4>> estratos;
    for (int k = 0; k <= kPreguntas; ++k) {
        const auto &t = a.porSexo[k][q];
        estratos.push_back({ t[0][0], t[0][1], t[1][0], t[1][1] });
    }
    const EstadisticoDif dif = mantelHaenszel(estratos);
    item.difDelta = dif.delta;
    item.difErrorEstandar = dif.errorEstandar;
    item.difChi2 = dif.chi2;
    item.difCategoria = dif.categoria;
}

QString Analisis::observacion(const AnalisisItem &item, const std::array<double, 5> &entreMejores)
{
    QStringList notas;
    if (item.discriminacion && *item.discriminacion < 0)
        notas << QStringLiteral("discriminación negativa: revisar la clave");
    else if (item.discriminacion && *item.discriminacion < kDiscriminacionBaja)
        notas << QStringLiteral("discriminación baja (menor que 0,20)");
    if (item.facilidad < kFacilidadMinima)
        notas << QStringLiteral("muy difícil (facilidad menor que 0,10)");
    else if (item.facilidad > kFacilidadMaxima)
        notas << QStringLiteral("muy fácil (facilidad mayor que 0,95)");
    for (int o = 0; o < 4; ++o) {
        if (item.opciones[o] == 0)
            notas << QStringLiteral("nadie eligió la opción %1").arg(QChar('A' + o));
    }
    const int clave = item.clave - 'A';
    for (int o = 0; o < 4 && clave >= 0 && clave < 4; ++o) {
        if (o != clave && entreMejores[o] > entreMejores[clave] + 1e-9)
            notas << QStringLiteral("el 27 % mejor eligió %1 más que la clave").arg(QChar('A' + o));
    }
    for (int o = 0; o < 4 && clave >= 0 && clave < 4; ++o) {
        if (o != clave && item.correlacionOpcion[o] && *item.correlacionOpcion[o] > 0)
            notas << QStringLiteral(
                "la opción %1 atrae a los mejores alumnos: revisar la clave o la opción")
                         .arg(QChar('A' + o));
    }
    if (item.difCategoria == QLatin1String("C"))
        notas << QStringLiteral("DIF de categoría C a favor de Sexo %1")
                     .arg(*item.difDelta < 0 ? 1 : 2);
    return notas.join(QStringLiteral("; "));
}

AnalisisModelo Analisis::resumir(Asignatura asignatura, int modelo, const Acumulado &a) const
{
    AnalisisModelo r;
    r.asignatura = asignatura;
    r.modelo = modelo;
    r.alumnos = int(a.alumnos);
    r.senales = a.alumnos >= m_minimoParaSenalar;
    r.histograma = a.histograma;
    const double n = double(a.alumnos);
    r.media = a.sumaCorrectas / n;
    const double varianza = std::max(0.0, a.sumaCuadrados / n - r.media * r.media);
    r.desvio = std::sqrt(varianza);

    // The best and the worst 27 %, in whole students.
    const qint64 grupo = alumnosDelGrupoExtremo(a.alumnos);
    const PesosGrupo pesoMejores = pesosExtremos(a, grupo, true);
    const PesosGrupo pesoPeores = pesosExtremos(a, grupo, false);
    double sumaPQ = 0;
    for (int q = 0; q < kPreguntas; ++q) {
        AnalisisItem &item = r.items[q];
        item.clave = m_claves.letra(asignatura, modelo, q + 1);
        for (int o = 0; o < 4; ++o)
            item.opciones[o] = a.elecciones[q][o];
        item.sinRespuesta = a.elecciones[q][4];
        item.facilidad = a.aciertos[q] / n;
        sumaPQ += item.facilidad * (1 - item.facilidad);
        std::array<double, 5> entreMejores {};
        correlaciones(a, q, grupo, pesoMejores, pesoPeores, item, &entreMejores);
        difPorSexo(a, q, item);
        item.senalada = r.senales;
        item.observacion = item.senalada ? observacion(item, entreMejores)
                                         : textoMuestraInsuficiente(QString::number(a.alumnos));
        item.senalada = item.senalada && !item.observacion.isEmpty();
    }
    if (a.alumnos >= 2 && varianza > 0) {
        r.kr20 = double(kPreguntas) / (kPreguntas - 1) * (1 - sumaPQ / varianza);
        r.errorEstandar = r.desvio * std::sqrt(std::max(0.0, 1 - *r.kr20));
    }
    return r;
}

std::vector<AnalisisModelo> Analisis::modelos()
{
    std::vector<AnalisisModelo> r;
    for (Asignatura asignatura : { Asignatura::Matematica, Asignatura::Lengua }) {
        // The reference scale: every student of the subject, all models pooled.
        std::array<qint64, kPreguntas + 1> referencia {};
        for (const Acumulado &a : m_acumulados[indiceMateria(asignatura)])
            for (int x = 0; x <= kPreguntas; ++x)
                referencia[x] += a.histograma[x];
        for (int m = 1; m <= kModelos; ++m) {
            const Acumulado &a = m_acumulados[indiceMateria(asignatura)][m - 1];
            auto &e = m_equiparacion[indiceMateria(asignatura)][m - 1];
            for (int x = 0; x <= kPreguntas; ++x)
                e[x] = x;
            if (a.alumnos <= 0)
                continue;
            AnalisisModelo resumen = resumir(asignatura, m, a);
            if (a.alumnos >= kMinimoParaEquiparar) {
                e = equiparar(a.histograma, referencia);
                resumen.metodo = AnalisisModelo::Metodo::Equipercentil;
            } else if (a.alumnos >= kMinimoParaEquipararLineal) {
                e = equipararLineal(a.histograma, referencia);
                resumen.metodo = AnalisisModelo::Metodo::Lineal;
            }
            resumen.equiparacion = e;
            double suma = 0;
            for (int x = 0; x <= kPreguntas; ++x)
                suma += a.histograma[x] * e[x];
            resumen.mediaEquiparada = suma / double(a.alumnos);
            r.push_back(std::move(resumen));
        }
    }
    return r;
}

double porcentajeEquiparado(double puntaje)
{
    return std::clamp(100.0 * puntaje / kPreguntas, 0.0, 100.0);
}

std::vector<AnalisisEstablecimiento> Analisis::establecimientos() const
{
    std::vector<AnalisisEstablecimiento> r;
    for (const auto &[clave, porModelo] : m_clases) {
        const auto &[codigo, nombre, turno, seccion, asignatura] = clave;
        qint64 alumnos = 0;
        double bruto = 0, equiparado = 0;
        for (int m = 0; m < kModelos; ++m) {
            for (int x = 0; x <= kPreguntas; ++x) {
                alumnos += porModelo[m][x];
                bruto += porModelo[m][x] * 100.0 * x / kPreguntas;
                equiparado
                    += porModelo[m][x] * porcentajeEquiparado(m_equiparacion[asignatura][m][x]);
            }
        }
        if (alumnos <= 0)
            continue;
        r.push_back({ codigo, nombre, turno, seccion,
            asignatura == 0 ? Asignatura::Matematica : Asignatura::Lengua, int(alumnos),
            bruto / double(alumnos), equiparado / double(alumnos) });
    }
    return r;
}
