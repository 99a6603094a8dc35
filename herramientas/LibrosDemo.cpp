#include "LibrosDemo.h"

#include "Directorio.h"
#include "Disco.h"
#include "EscritorXlsx.h"
#include "PropiedadesXlsx.h"
#include "Reporte.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <mutex>
#include <thread>
#include <vector>

namespace {

constexpr int kPreguntaAlAzar = 7;
constexpr int kPreguntaEnganosa = 13;
constexpr int kPreguntaConSesgo = 5;

// The empty workbook the station creates at registration.
Resultado libroVacio(const QString &carpeta, QByteArray *bytes)
{
    const QString ruta = QDir(carpeta).filePath(
        QStringLiteral(".vacio.%1.tmp").arg(QCoreApplication::applicationPid()));
    EscritorLibro escritor(ruta, carpeta);
    escritor.agregarHoja(kNombreHojaReporte());
    if (const Resultado cerrado = escritor.cerrar(); !cerrado.ok())
        return cerrado;
    DiscoLocal disco;
    const Resultado leido = disco.leer(ruta, limitesXlsx::kMaxBytesLibro, bytes);
    disco.borrar(ruta);
    if (!leido.ok())
        return leido;
    if (bytes->isEmpty())
        return falloDisco(CausaFallo::Lectura, QStringLiteral("%1 quedó vacío").arg(ruta));
    return {};
}

double normal(QRandomGenerator &azar)
{
    const double u = std::max(1e-12, azar.generateDouble());
    return std::sqrt(-2 * std::log(u)) * std::cos(2 * M_PI * azar.generateDouble());
}

// The answers of a student of ability `habilidad` and sex `sexo` to one subject and model.
Sesion::Respuestas responder(QRandomGenerator &azar, const Claves &claves, Asignatura a, int modelo,
    double habilidad, int sexo)
{
    Sesion::Respuestas r;
    for (int q = 1; q <= kPreguntas; ++q) {
        if (azar.generateDouble() < 0.03)
            continue; // left unanswered
        const char clave = claves.letra(a, modelo, q);
        const char distractor = char('A' + (clave - 'A' + 1 + (q + modelo) % 3) % 4);
        // The models are not equally hard, and one question of each is harder for Sexo 2.
        double dificultad = ((q * 7 + modelo * 3) % 11 - 5) / 3.0 + (modelo - 3.5) * 0.2;
        if (q == kPreguntaConSesgo && sexo == 2)
            dificultad += 1.5;
        double acierto = 0.2 + 0.8 / (1 + std::exp(-1.3 * (habilidad - dificultad)));
        if (q == kPreguntaAlAzar)
            acierto = 0.5;
        char letra;
        if (q == kPreguntaEnganosa)
            letra = azar.generateDouble() < 1 / (1 + std::exp(-2 * habilidad)) ? distractor : clave;
        else if (azar.generateDouble() < acierto)
            letra = clave;
        else
            letra = azar.generateDouble() < 0.6 ? distractor : char('A' + azar.bounded(4));
        r[q] = QString(QLatin1Char(letra));
    }
    return r;
}

// A made-up student: a school of the directory, a shift, a section, a sex and a model of each
// subject; `i` makes the student code.
Sesion alumnoAlAzar(QRandomGenerator &azar, int i)
{
    const auto directorio = directorioEstablecimientos();
    Sesion s;
    const Establecimiento &e = directorio[azar.bounded(int(directorio.size()))];
    s.CodEmpresa = QLatin1String(e.codigo);
    s.NombreEscuela = QString::fromUtf8(e.nombre);
    s.Turno = QString(QLatin1Char("MTN"[azar.bounded(3)]));
    s.Seccion = QStringLiteral("%1%2").arg(1 + azar.bounded(5)).arg(QChar('A' + azar.bounded(3)));
    s.Sexo = qint16(1 + azar.bounded(3));
    s.DNI = QString::number(40000000 + i);
    s.ModeloMat = qint16(1 + azar.bounded(kModelos));
    s.ModeloLeng = qint16(1 + azar.bounded(kModelos));
    return s;
}

// The student's rows of the report in `libro`: most take both subjects, some only one.
Resultado responderMaterias(QRandomGenerator &azar, const Claves &claves, double habilidad,
    Sesion &s, QByteArray *libro, ISellador *sellador)
{
    const int materias = azar.bounded(20); // 0: mathematics only, 1: language only
    for (Asignatura a : { Asignatura::Matematica, Asignatura::Lengua }) {
        if ((a == Asignatura::Matematica && materias == 1)
            || (a == Asignatura::Lengua && materias == 0))
            continue;
        s.Materia = nombreMateria(a);
        respuestasDe(s, a)
            = responder(azar, claves, a, modeloDe(s, a), habilidad + normal(azar) * 0.3, s.Sexo);
        QByteArray nuevo;
        if (const Resultado r = reemplazarFilaEnLibro(*libro, kNombreHojaReporte(), filaReporte(a),
                columnas::kUltima, celdasFilaReporte(s, a), &nuevo);
            !r.ok())
            return r;
        *libro = nuevo;
        if (sellador) {
            QString propiedad;
            QString sello;
            if (const Resultado r
                = sellador->sellar(QFileInfo(construirRutaExcel(QStringLiteral("."), s)).fileName()
                        + QStringLiteral(".xlsx"),
                    filaReporte(a), celdasFilaReporte(s, a), &propiedad, &sello);
                !r.ok())
                return r;
            if (const Resultado r = conPropiedad(*libro, propiedad, sello, &nuevo); !r.ok())
                return r;
            *libro = nuevo;
        }
    }
    return {};
}

} // namespace

ResultadoLibrosDemo generarLibrosDemo(
    const QString &carpeta, const Claves &claves, int alumnos, quint32 semilla, ISellador *sellador)
{
    ResultadoLibrosDemo resultado;
    if (!QDir().mkpath(carpeta)) {
        resultado.resultado = falloDisco(
            CausaFallo::Escritura, QStringLiteral("no se puede crear %1").arg(carpeta));
        return resultado;
    }
    QByteArray vacio;
    if (const Resultado r = libroVacio(carpeta, &vacio); !r.ok()) {
        resultado.resultado = r;
        return resultado;
    }
    std::atomic<int> escritos { 0 };
    std::mutex cerrojo;
    auto trabajar = [&](int desde, int paso) {
        for (int i = desde; i < alumnos; i += paso) {
            QRandomGenerator azar(semilla * 2654435761u + quint32(i));
            Sesion s = alumnoAlAzar(azar, i);
            const double habilidad = normal(azar);
            QByteArray libro = vacio;
            Resultado hecho = responderMaterias(azar, claves, habilidad, s, &libro, sellador);
            QFile f(construirRutaExcel(carpeta, s) + QStringLiteral(".xlsx"));
            if (hecho.ok() && (!f.open(QIODevice::WriteOnly) || f.write(libro) != libro.size()))
                hecho = falloDisco(causaDeEscritura(carpeta, f.error()),
                    QStringLiteral("no se puede escribir %1: %2")
                        .arg(f.fileName(), f.errorString()));
            if (!hecho.ok()) {
                const std::lock_guard<std::mutex> bloqueo(cerrojo);
                if (resultado.resultado.ok())
                    resultado.resultado = hecho;
                continue;
            }
            ++escritos;
        }
    };
    const int hilos = int(std::max(1u, std::min(std::thread::hardware_concurrency(), 8u)));
    std::vector<std::thread> trabajadores;
    for (int h = 0; h < hilos; ++h)
        trabajadores.emplace_back(trabajar, h, hilos);
    for (std::thread &t : trabajadores)
        t.join();
    resultado.libros = escritos;
    return resultado;
}
