#include "Recuperacion.h"

#include "Entorno.h"
#include "Entradas.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

constexpr int kFormato = 1;
// A record is a few kilobytes; anything far larger is not one.
constexpr qint64 kMaxBytesRecuperacion = 1024 * 1024;

const Asignatura kAsignaturas[] = { Asignatura::Matematica, Asignatura::Lengua };

bool finalizada(const Sesion &sesion, Asignatura a)
{
    return (a == Asignatura::Matematica ? sesion.FinalizadoMat : sesion.FinalizadoLeng) == 1;
}

QString nombreLibro(const Sesion &sesion)
{
    return QFileInfo(sesion.RutaExcel).fileName() + QStringLiteral(".xlsx");
}

QJsonObject alumno(const Sesion &s)
{
    return { { QStringLiteral("CodEmpresa"), s.CodEmpresa },
        { QStringLiteral("NombreEscuela"), s.NombreEscuela }, { QStringLiteral("Turno"), s.Turno },
        { QStringLiteral("Seccion"), s.Seccion }, { QStringLiteral("Sexo"), s.Sexo },
        { QStringLiteral("DNI"), s.DNI } };
}

// Everything but the checksum, which is taken over this object's compact form.
QJsonObject cuerpo(const Sesion &s)
{
    QJsonObject o { { QStringLiteral("formato"), kFormato },
        { QStringLiteral("libro"), nombreLibro(s) }, { QStringLiteral("alumno"), alumno(s) } };
    for (Asignatura a : kAsignaturas) {
        // A subject saved in the workbook keeps no answers here.
        QJsonArray respuestas;
        if (!finalizada(s, a)) {
            for (int q = 1; q <= kPreguntas; ++q)
                respuestas.append(respuestasDe(s, a)[q]);
        }
        o.insert(nombreMateria(a),
            QJsonObject { { QStringLiteral("modelo"), modeloDe(s, a) },
                { QStringLiteral("finalizada"), finalizada(s, a) },
                { QStringLiteral("respuestas"), respuestas } });
    }
    return o;
}

QString suma(const QJsonObject &cuerpo)
{
    return QString::fromLatin1(QCryptographicHash::hash(
        QJsonDocument(cuerpo).toJson(QJsonDocument::Compact), QCryptographicHash::Sha256)
                                   .toHex());
}

bool respuestaValida(const QJsonValue &v)
{
    static const QStringList kValidas { QString(), QStringLiteral("A"), QStringLiteral("B"),
        QStringLiteral("C"), QStringLiteral("D") };
    return v.isString() && kValidas.contains(v.toString());
}

// A bad record is kept for whoever wants to look at it, under a name nobody reads back; a
// link is moved as the link, never followed. Returns the new name, empty when it stays.
QString apartar(IDisco &disco, const QString &ruta)
{
    const QString destino = nombreApartado(ruta, QStringLiteral(".descartada-"));
    return disco.reemplazar(ruta, destino).ok() ? destino : QString();
}

// Why a record found at registration is not used, as the student and the supervisor read it.
QString porQueNoSirve(EstadoRecuperacion estado)
{
    switch (estado) {
    case EstadoRecuperacion::DeOtroAlumno:
        return QStringLiteral(
            "El registro del examen interrumpido es de otros datos de inscripción y no se usó.");
    case EstadoRecuperacion::SinRegistro:
    case EstadoRecuperacion::Valido:
    case EstadoRecuperacion::Ilegible:
    case EstadoRecuperacion::SumaIncorrecta:
        break;
    }
    return QStringLiteral("El registro del examen interrumpido está dañado y no se usó.");
}

QString lineaMateria(const Sesion &sesion, const Sesion &recuperada, Asignatura a)
{
    const QString materia = nombreVisible(a);
    if (finalizada(sesion, a))
        return QStringLiteral("- %1: ya finalizada").arg(materia);
    if (finalizada(recuperada, a))
        return QStringLiteral("- %1: sin respuestas para recuperar").arg(materia);
    const int n = respuestasDadas(respuestasDe(recuperada, a));
    return QStringLiteral("- %1: %2 %3")
        .arg(materia)
        .arg(n)
        .arg(n == 1 ? QStringLiteral("respuesta") : QStringLiteral("respuestas"));
}

} // namespace

QString rutaRecuperacion(const QString &rutaExcel)
{
    const QFileInfo libro(rutaExcel);
    return libro.absoluteDir().filePath(
        QLatin1Char('.') + libro.fileName() + QStringLiteral(".recuperacion"));
}

int respuestasDadas(const Sesion::Respuestas &respuestas)
{
    return int(std::count_if(
        respuestas.begin() + 1, respuestas.end(), [](const QString &r) { return !r.isEmpty(); }));
}

QByteArray contenidoRecuperacion(const Sesion &sesion)
{
    QJsonObject o = cuerpo(sesion);
    o.insert(QStringLiteral("suma"), suma(o));
    return QJsonDocument(o).toJson(QJsonDocument::Indented);
}

EstadoRecuperacion interpretarRecuperacion(
    const QByteArray &contenido, const Sesion &sesion, Sesion *recuperada)
{
    QJsonParseError error;
    const QJsonDocument documento = QJsonDocument::fromJson(contenido, &error);
    if (error.error != QJsonParseError::NoError || !documento.isObject())
        return EstadoRecuperacion::Ilegible;
    QJsonObject o = documento.object();
    if (o.value(QStringLiteral("formato")).toInt() != kFormato)
        return EstadoRecuperacion::Ilegible;
    const QString sumaLeida = o.take(QStringLiteral("suma")).toString();
    if (sumaLeida != suma(o))
        return EstadoRecuperacion::SumaIncorrecta;
    if (o.value(QStringLiteral("libro")).toString() != nombreLibro(sesion)
        || o.value(QStringLiteral("alumno")).toObject() != alumno(sesion))
        return EstadoRecuperacion::DeOtroAlumno;

    Sesion r = sesion;
    for (Asignatura a : kAsignaturas) {
        const QJsonObject m = o.value(nombreMateria(a)).toObject();
        const int modelo = m.value(QStringLiteral("modelo")).toInt();
        const QJsonArray respuestas = m.value(QStringLiteral("respuestas")).toArray();
        const bool fin = m.value(QStringLiteral("finalizada")).toBool();
        if (modelo < 1 || modelo > kModelos || respuestas.size() != (fin ? 0 : kPreguntas))
            return EstadoRecuperacion::Ilegible;
        modeloDe(r, a) = qint16(modelo);
        finalizadoDe(r, a) = fin ? 1 : 0;
        for (int q = 1; q <= kPreguntas; ++q) {
            if (!fin && !respuestaValida(respuestas.at(q - 1)))
                return EstadoRecuperacion::Ilegible;
            respuestasDe(r, a)[q] = fin ? QString() : respuestas.at(q - 1).toString();
        }
    }
    *recuperada = r;
    return EstadoRecuperacion::Valido;
}

Resultado guardarRecuperacion(Entorno &entorno, const Sesion &sesion)
{
    // Without a registered student there is no run to keep.
    if (sesion.RutaExcel.isEmpty())
        return {};
    const QString ruta = rutaRecuperacion(sesion.RutaExcel);
    const QByteArray contenido = contenidoRecuperacion(sesion);
    Resultado r = entorno.disco.escribir(ruta, contenido);
    // A link, a folder or a pipe at the record's name is a bad record: set aside, never
    // written through, and the record is written anew in its place.
    if (r.causa == CausaFallo::NoEsArchivo && !apartar(entorno.disco, ruta).isEmpty())
        r = entorno.disco.escribir(ruta, contenido);
    return r;
}

void resguardarRespuestas(Entorno &entorno, const Sesion &sesion)
{
    const Resultado r = guardarRecuperacion(entorno, sesion);
    if (r.ok() == !entorno.resguardoFallido)
        return;
    entorno.resguardoFallido = !r.ok();
    if (r.ok())
        entorno.mensajes.mostrar(QStringLiteral(
            "La copia de seguridad del examen vuelve a guardarse en esta computadora."));
    else
        entorno.mensajes.mostrar(
            QStringLiteral("No se puede guardar la copia de seguridad del examen en esta "
                           "computadora: si se corta la luz, se perderían las respuestas.\r\n"
                           "El examen sigue. Avise al supervisor.\r\n\r\nCausa: %1")
                .arg(r.texto()));
}

void borrarRecuperacion(Entorno &entorno, const Sesion &sesion)
{
    if (!sesion.RutaExcel.isEmpty())
        entorno.disco.borrar(rutaRecuperacion(sesion.RutaExcel));
}

void recuperacionTrasGuardar(Entorno &entorno, const Sesion &sesion)
{
    if (finalizada(sesion, Asignatura::Matematica) && finalizada(sesion, Asignatura::Lengua))
        borrarRecuperacion(entorno, sesion);
    else
        guardarRecuperacion(entorno, sesion);
}

bool Recuperar_Examen(Entorno &entorno, Sesion &sesion)
{
    const QString ruta = rutaRecuperacion(sesion.RutaExcel);
    // One station per folder: no other process is writing this student's record now.
    borrarCopiasPreparadas(entorno.disco, ruta);
    const TipoEntrada tipo = tipoEntrada(ruta);
    if (tipo == TipoEntrada::Ninguna)
        return false;
    QByteArray contenido;
    Sesion recuperada;
    QString motivo;
    if (tipo != TipoEntrada::Archivo) {
        motivo
            = QStringLiteral("En lugar del registro del examen interrumpido hay %1, que no se usó.")
                  .arg(nombreTipoEntrada(tipo));
    } else if (const Resultado leido = entorno.disco.leer(ruta, kMaxBytesRecuperacion, &contenido);
               !leido.ok()) {
        motivo = QStringLiteral(
            "El registro del examen interrumpido no se puede leer (%1) y no se usó.")
                     .arg(leido.texto());
    } else if (const EstadoRecuperacion estado
               = interpretarRecuperacion(contenido, sesion, &recuperada);
               estado != EstadoRecuperacion::Valido) {
        motivo = porQueNoSirve(estado);
    }
    if (!motivo.isEmpty()) {
        const QString apartado = apartar(entorno.disco, ruta);
        const QString donde = apartado.isEmpty()
            ? QStringLiteral("Quedó como \"%1\"").arg(QFileInfo(ruta).fileName())
            : QStringLiteral("Se guardó aparte como \"%1\"").arg(QFileInfo(apartado).fileName());
        entorno.mensajes.mostrar(
            QStringLiteral("%1\r\n%2, en la carpeta %3.\r\nAvise al supervisor.")
                .arg(motivo, donde, QDir::toNativeSeparators(QFileInfo(ruta).absolutePath())));
        return false;
    }
    // An answer belongs to the model it was given on: the fresh draw gives way.
    sesion.ModeloMat = recuperada.ModeloMat;
    sesion.ModeloLeng = recuperada.ModeloLeng;
    for (Asignatura a : kAsignaturas) {
        if (!finalizada(sesion, a) && !finalizada(recuperada, a))
            respuestasDe(sesion, a) = respuestasDe(recuperada, a);
    }
    // The models are restored whatever the answers; the student hears of it only when there
    // is something to continue.
    int recuperadas = 0;
    for (Asignatura a : kAsignaturas) {
        if (!finalizada(sesion, a) && !finalizada(recuperada, a))
            recuperadas += respuestasDadas(respuestasDe(recuperada, a));
    }
    if (recuperadas == 0)
        return true;
    entorno.mensajes.mostrar(
        QStringLiteral("Se recuperó el examen que quedó interrumpido en esta computadora.\r\n")
        + lineaMateria(sesion, recuperada, Asignatura::Matematica) + QStringLiteral("\r\n")
        + lineaMateria(sesion, recuperada, Asignatura::Lengua)
        + QStringLiteral("\r\nElija la materia en el menú para continuar."));
    return true;
}
