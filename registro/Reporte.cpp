#include "Reporte.h"

#include "Archivos.h"
#include "Entorno.h"

int filaReporte(Asignatura asignatura)
{
    return asignatura == Asignatura::Matematica ? 1 : 2;
}

QString construirRutaExcel(const QString &carpetaPrograma, const Sesion &sesion)
{
    return unirRuta(carpetaPrograma,
                    {QStringLiteral("Apl Examen - ") + sesion.CodEmpresa + QLatin1Char('_')
                     + sesion.Turno + QLatin1Char('_') + sesion.Seccion + QLatin1Char('_')
                     + QString::number(sesion.Sexo) + QLatin1Char('_') + sesion.DNI});
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
    return dni.toUtf8().size() <= kMaxBytesCampoDeNombre;
}

void ponerFilaReporte(CeldasHoja &celdas, const Sesion &sesion, Asignatura asignatura)
{
    const int fila = filaReporte(asignatura);
    for (int col = 1; col <= columnas::kUltima; ++col)
        celdas.erase({fila, col});
    auto texto = [&](int col, const QString &valor) {
        // An empty text leaves the cell empty.
        if (!valor.isEmpty())
            celdas[{fila, col}] = Celda::deTexto(valor);
    };
    auto numero = [&](int col, qint16 valor) { celdas[{fila, col}] = Celda::deNumero(valor); };
    texto(1, sesion.CodEmpresa);
    texto(2, sesion.NombreEscuela);
    numero(3, sesion.Sexo);
    texto(4, sesion.DNI);
    texto(5, sesion.CampoE);
    texto(6, sesion.CampoF);
    texto(7, sesion.Turno);
    texto(8, sesion.Seccion);
    texto(columnas::kMateria, sesion.Materia);
    numero(columnas::kModelo, modeloDe(sesion, asignatura));
    const Sesion::Respuestas &respuestas = respuestasDe(sesion, asignatura);
    for (int q = 1; q <= kPreguntas; ++q)
        texto(columnas::kPrimeraRespuesta + q - 1, respuestas[q]);
}

namespace {
bool textoEn(const CeldasHoja &celdas, int fila, int col, const QString &esperado)
{
    const auto it = celdas.find({fila, col});
    return it != celdas.end() && it->second.tipo == Celda::Tipo::Texto
        && it->second.texto == esperado;
}
} // namespace

void Crear_Excel(Entorno &entorno, Sesion &sesion)
{
    sesion.RutaExcel = construirRutaExcel(entorno.carpetaPrograma, sesion);
    const QString ruta = sesion.RutaExcel + QStringLiteral(".xlsx");
    QString error;
    bool bien = true;
    if (!entorno.archivos.existeArchivo(ruta)) {
        bien = entorno.hoja.escribirLibro(ruta, {}, &error);
    } else {
        CeldasHoja celdas;
        bien = entorno.hoja.leerReporte(ruta, &celdas, &error);
        if (bien) {
            if (textoEn(celdas, 1, columnas::kMateria, nombreMateria(Asignatura::Matematica)))
                sesion.FinalizadoMat = 1;
            if (textoEn(celdas, 2, columnas::kMateria, nombreMateria(Asignatura::Lengua)))
                sesion.FinalizadoLeng = 1;
        }
    }
    if (!bien)
        entorno.mensajes.mostrar(QStringLiteral("Error al generar excel..."));
}

QString GuardarRespuestas(Entorno &entorno, Sesion &sesion, Asignatura asignatura)
{
    if (sesion.RutaExcel.isEmpty())
        return QStringLiteral("no hay libro de resultados para este alumno");
    const QString ruta = sesion.RutaExcel + QStringLiteral(".xlsx");
    CeldasHoja celdas;
    QString error;
    // A workbook that is there but cannot be read is never replaced: the other subject's
    // row may be in it. One that is missing (its creation failed) is created now.
    if (entorno.archivos.existeArchivo(ruta) && !entorno.hoja.leerReporte(ruta, &celdas, &error))
        return error;
    ponerFilaReporte(celdas, sesion, asignatura);
    if (!entorno.hoja.escribirLibro(ruta, celdas, &error))
        return error;
    finalizadoDe(sesion, asignatura) = 1;
    return {};
}
