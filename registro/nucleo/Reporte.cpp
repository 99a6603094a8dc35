#include "Reporte.h"

#include "Archivos.h"
#include "Disco.h"
#include "Entorno.h"

#include <algorithm>

CeldasFila celdasFilaReporte(const Sesion &sesion, Asignatura asignatura)
{
    CeldasFila fila;
    auto texto = [&](int col, const QString &valor) {
        // An empty text leaves the cell empty.
        if (!valor.isEmpty())
            fila[col] = Celda::deTexto(valor);
    };
    auto numero = [&](int col, qint16 valor) { fila[col] = Celda::deNumero(valor); };
    texto(columnas::kCodEmpresa, sesion.CodEmpresa);
    texto(columnas::kNombreEscuela, sesion.NombreEscuela);
    numero(columnas::kSexo, sesion.Sexo);
    texto(columnas::kDNI, sesion.DNI);
    texto(columnas::kCampoE, sesion.CampoE);
    texto(columnas::kCampoF, sesion.CampoF);
    texto(columnas::kTurno, sesion.Turno);
    texto(columnas::kSeccion, sesion.Seccion);
    texto(columnas::kMateria, sesion.Materia);
    numero(columnas::kModelo, modeloDe(sesion, asignatura));
    const Sesion::Respuestas &respuestas = respuestasDe(sesion, asignatura);
    for (int q = 1; q <= kPreguntas; ++q)
        texto(columnas::respuesta(q), respuestas[q]);
    return fila;
}

QString construirRutaExcel(const QString &carpetaPrograma, const Sesion &sesion)
{
    return unirRuta(carpetaPrograma,
        { QStringLiteral("Apl Examen - ") + sesion.CodEmpresa + QLatin1Char('_') + sesion.Turno
            + QLatin1Char('_') + sesion.Seccion + QLatin1Char('_') + QString::number(sesion.Sexo)
            + QLatin1Char('_') + sesion.DNI });
}

bool seccionAdmisible(const QString &seccion)
{
    static const QString prohibidos = QStringLiteral("\\/:*?\"<>|");
    if (seccion.toUtf8().size() > kMaxBytesCampoDeNombre)
        return false;
    for (const QChar c : seccion) {
        if (c.unicode() < 32 || c.unicode() == 127 || prohibidos.contains(c))
            return false;
    }
    return true;
}

bool dniAdmisible(const QString &dni)
{
    return dni.size() <= kMaxBytesCampoDeNombre && std::all_of(dni.begin(), dni.end(), [](QChar c) {
        return c >= QLatin1Char('0') && c <= QLatin1Char('9');
    });
}

namespace {

bool textoEn(const CeldasHoja &celdas, int fila, int col, const QString &esperado)
{
    const auto it = celdas.find({ fila, col });
    return it != celdas.end() && it->second.tipo == Celda::Tipo::Texto
        && it->second.texto == esperado;
}
} // namespace

void Crear_Excel(Entorno &entorno, Sesion &sesion)
{
    sesion.RutaExcel = construirRutaExcel(entorno.carpetaPrograma, sesion);
    const QString ruta = sesion.RutaExcel + QStringLiteral(".xlsx");
    Resultado resultado;
    if (!entorno.archivos.existeArchivo(ruta)) {
        resultado = entorno.hoja.crearLibro(ruta);
    } else {
        CeldasHoja celdas;
        resultado = entorno.hoja.leerReporte(ruta, &celdas);
        if (resultado.ok()) {
            if (textoEn(celdas, filaReporte(Asignatura::Matematica), columnas::kMateria,
                    nombreMateria(Asignatura::Matematica)))
                sesion.FinalizadoMat = 1;
            if (textoEn(celdas, filaReporte(Asignatura::Lengua), columnas::kMateria,
                    nombreMateria(Asignatura::Lengua)))
                sesion.FinalizadoLeng = 1;
        }
    }
    if (!resultado.ok())
        entorno.mensajes.mostrar(QStringLiteral("Error al generar excel..."));
}

Resultado guardarFilaReporte(Entorno &entorno, Sesion &sesion, Asignatura asignatura)
{
    if (sesion.RutaExcel.isEmpty())
        return falloDisco(CausaFallo::ArchivoInexistente,
            QStringLiteral("no hay libro de resultados para este alumno"));
    const QString ruta = sesion.RutaExcel + QStringLiteral(".xlsx");
    // A workbook whose creation failed at registration is created now; one that is there is
    // only ever edited, and never replaced when it cannot be read.
    if (!entorno.archivos.existeArchivo(ruta)) {
        if (const Resultado r = entorno.hoja.crearLibro(ruta); !r.ok())
            return r;
    }
    if (const Resultado r = entorno.hoja.escribirFila(ruta, filaReporte(asignatura),
            columnas::kUltima, celdasFilaReporte(sesion, asignatura));
        !r.ok())
        return r;
    finalizadoDe(sesion, asignatura) = 1;
    return {};
}
