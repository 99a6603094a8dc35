#include "Apoyo.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QTimer>

#include <cstdlib>
#include <QWidget>

int MensajesFalsos::mostrar(const QString &texto, int estilo, const QString &titulo,
                            const QString &archivoAyuda, int contextoAyuda)
{
    const LlamadaMensaje llamada {texto, estilo, titulo, archivoAyuda, contextoAyuda};
    llamadas << llamada;
    if (alMostrar)
        alMostrar(llamada);
    if ((estilo & 0x0F) != estilo::kSiNo)
        return kRespuestaAceptar;
    return respuestas.isEmpty() ? kRespuestaNo : respuestas.takeFirst();
}

QStringList MensajesFalsos::textos() const
{
    QStringList t;
    for (const auto &l : llamadas)
        t << l.texto;
    return t;
}

int RelojFalso::segundos() const
{
    const int i = qMin(leidas, int(lecturas.size()) - 1);
    ++leidas;
    return lecturas.at(i);
}

bool ArchivosConFallos::borrarArchivo(const QString &ruta)
{
    if (noBorrables.contains(QFileInfo(ruta).fileName()))
        return false;
    return ArchivosLocales::borrarArchivo(ruta);
}

bool HojaConFallos::leerReporte(const QString &ruta, CeldasHoja *celdas, QString *error)
{
    return real.leerReporte(ruta, celdas, error);
}

bool HojaConFallos::escribirLibro(const QString &ruta, const CeldasHoja &celdas, QString *error)
{
    ++escrituras;
    if (fallarEscritura) {
        if (error)
            *error = QStringLiteral("disco lleno (simulado)");
        return false;
    }
    return real.escribirLibro(ruta, celdas, error);
}

Banco::Banco()
    : entorno {dir.path(), mensajes, archivos, reloj, abridor, hoja}
{
}

Sesion alumnoDePrueba()
{
    Sesion s;
    s.CodEmpresa = QStringLiteral("EE0310002");
    s.NombreEscuela = QStringLiteral("I.P.E.M. Nº 5 PRUEBA");
    s.Turno = QStringLiteral("T");
    s.Seccion = QStringLiteral("3A");
    s.Sexo = 2;
    s.DNI = QStringLiteral("0987");
    s.ModeloMat = 4;
    s.ModeloLeng = 6;
    return s;
}

void crearImagen(const QString &ruta, QSize tamano)
{
    QDir().mkpath(QFileInfo(ruta).absolutePath());
    QImage imagen(tamano, QImage::Format_RGB32);
    imagen.fill(Qt::darkCyan);
    if (!imagen.save(ruta, "JPEG"))
        qFatal("no se pudo escribir %s", qPrintable(ruta));
}

void crearArchivo(const QString &ruta, const QByteArray &contenido)
{
    QDir().mkpath(QFileInfo(ruta).absolutePath());
    QFile f(ruta);
    if (!f.open(QIODevice::WriteOnly) || f.write(contenido) != contenido.size())
        qFatal("no se pudo escribir %s", qPrintable(ruta));
}

void crearContenidoAsignatura(const QString &carpeta, Asignatura asignatura, int preguntas)
{
    for (int m = 1; m <= kModelos; ++m) {
        for (int q = 1; q <= preguntas; ++q)
            crearImagen(rutaPregunta(carpeta, asignatura, m, q));
    }
}

QTimer *alAparecer(const QString &nombre, std::function<void(QWidget *)> accion)
{
    auto *temporizador = new QTimer(qApp);
    temporizador->setInterval(1);
    QObject::connect(temporizador, &QTimer::timeout, temporizador, [=] {
        QWidget *modal = QApplication::activeModalWidget();
        if (!modal || modal->objectName() != nombre || !modal->isVisible())
            return;
        temporizador->stop();
        temporizador->deleteLater();
        QTimer::singleShot(0, modal, [accion, modal] { accion(modal); });
    });
    temporizador->start();
    return temporizador;
}

void Guion::paso(const QString &nombre, std::function<void(QWidget *)> accion)
{
    m_pasos.append({nombre, std::move(accion)});
}

void Guion::iniciar()
{
    auto *temporizador = new QTimer(qApp);
    temporizador->setInterval(1);
    m_progreso.start();
    QObject::connect(temporizador, &QTimer::timeout, temporizador, [this, temporizador] {
        // A step that never finds its window would leave the screens waiting for ever.
        if (m_progreso.elapsed() > 60000) {
            qCritical("el guion se detuvo esperando la ventana %s", qPrintable(pendiente()));
            std::abort();
        }
        if (completo()) {
            temporizador->stop();
            temporizador->deleteLater();
            return;
        }
        revisar();
    });
    temporizador->start();
}

QString Guion::pendiente() const
{
    return completo() ? QString() : m_pasos.at(m_siguiente).nombre;
}

void Guion::revisar()
{
    QWidget *modal = QApplication::activeModalWidget();
    const Paso &paso = m_pasos.at(m_siguiente);
    if (!modal || modal->objectName() != paso.nombre || !modal->isVisible()
        || modal->property("guionCerrada").toBool() || modal->property("guionEnUso").toBool())
        return;
    ++m_siguiente;
    m_progreso.restart();
    modal->setProperty("guionEnUso", true);
    // Run from a timer of its own: an action that opens a nested modal loop must not block
    // the polling that drives the windows inside it.
    QTimer::singleShot(0, modal, [accion = paso.accion, modal] {
        accion(modal);
        modal->setProperty("guionEnUso", false);
        if (!modal->isVisible())
            modal->setProperty("guionCerrada", true);
    });
}
