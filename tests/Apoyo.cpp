#include "Apoyo.h"

#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QTest>
#include <QTimer>

#include <QWidget>
#include <cerrno>
#include <cstdlib>
#include <unistd.h>

int MensajesFalsos::mostrar(const QString &texto, int estilo, const QString &titulo,
    const QString &archivoAyuda, int contextoAyuda)
{
    const LlamadaMensaje llamada { texto, estilo, titulo, archivoAyuda, contextoAyuda };
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

Resultado ArchivosConFallos::borrarArchivo(const QString &ruta)
{
    if (noBorrables.contains(QFileInfo(ruta).fileName()))
        return falloDisco(CausaFallo::ArchivoAbierto, QStringLiteral("en uso"));
    return ArchivosLocales::borrarArchivo(ruta);
}

namespace {

// The system's calls, each failing with the disk's chosen error while its step is chosen.
LlamadasDisco llamadasQueFallan(const DiscoConFallos *disco)
{
    const LlamadasDisco sistema = LlamadasDisco::delSistema();
    auto falla = [disco](PasoEscritura paso) {
        if (disco->fallarEn != paso)
            return false;
        errno = disco->errorDelSistema;
        return true;
    };
    LlamadasDisco l;
    l.crear
        = [=](const char *ruta) { return falla(PasoEscritura::Abrir) ? -1 : sistema.crear(ruta); };
    l.escribir = [=](int fd, const char *datos, std::size_t largo) {
        return falla(PasoEscritura::Escribir) ? -1 : sistema.escribir(fd, datos, largo);
    };
    l.asegurarDatos = [=](int fd) {
        return falla(PasoEscritura::AsegurarDatos) ? -1 : sistema.asegurarDatos(fd);
    };
    l.cerrar = [=](int fd) {
        // A close that fails has still given the descriptor back.
        const int r = sistema.cerrar(fd);
        return falla(PasoEscritura::Cerrar) ? -1 : r;
    };
    l.renombrar = [=](const char *origen, const char *destino) {
        return falla(PasoEscritura::Reemplazar) ? -1 : sistema.renombrar(origen, destino);
    };
    l.asegurarCarpeta = [=](const char *carpeta) {
        return falla(PasoEscritura::AsegurarCarpeta) ? -1 : sistema.asegurarCarpeta(carpeta);
    };
    return l;
}

} // namespace

DiscoConFallos::DiscoConFallos()
    : DiscoLocal(llamadasQueFallan(this))
    , errorDelSistema(ENOSPC)
{
}

Resultado DiscoConFallos::leer(const QString &ruta, qint64 maxBytes, QByteArray *bytes)
{
    const Resultado r = DiscoLocal::leer(ruta, maxBytes, bytes);
    // Only staged files: the workbook read before a save stays as it is on disk.
    if (r.ok() && alterarRelectura && ruta.endsWith(QLatin1String(".tmp")) && !bytes->isEmpty())
        (*bytes)[bytes->size() / 2] = char((*bytes)[bytes->size() / 2] ^ 0x20);
    return r;
}

Resultado DiscoConFallos::escribir(const QString &ruta, const QByteArray &bytes)
{
    ++escrituras;
    return DiscoLocal::escribir(ruta, bytes);
}

Banco::Banco()
    : entorno { dir.path(), mensajes, archivos, reloj, abridor, hoja, disco }
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

Guion::Guion(const QString &nombre, std::function<void(QWidget *)> accion)
{
    paso(nombre, std::move(accion));
    iniciar();
}

void Guion::paso(const QString &nombre, std::function<void(QWidget *)> accion)
{
    m_pasos.append({ nombre, std::move(accion) });
}

void Guion::iniciar()
{
    m_temporizador = std::make_unique<QTimer>();
    m_temporizador->setInterval(1);
    m_progreso.start();
    QObject::connect(m_temporizador.get(), &QTimer::timeout, m_temporizador.get(), [this] {
        // A step that never finds its window would leave the screens waiting for ever.
        if (m_progreso.elapsed() > 60000) {
            qCritical("el guion se detuvo esperando la ventana %s", qPrintable(pendiente()));
            std::abort();
        }
        if (completo()) {
            m_temporizador->stop();
            return;
        }
        revisar();
    });
    m_temporizador->start();
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

QStringList recorridoDeTabulacion(QWidget *inicio, int pasos)
{
    QApplication::setActiveWindow(inicio->window());
    inicio->setFocus();
    QStringList recorrido;
    for (int i = 0; i < pasos && QApplication::focusWidget(); ++i) {
        recorrido << QApplication::focusWidget()->objectName();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    return recorrido;
}

QString ejecutarConGestorDeVentanas(QSize pantalla, const QString &argumento, QString *omitido)
{
    for (const char *programa : { "xvfb-run", "openbox", "xwininfo", "xprop" }) {
        if (QStandardPaths::findExecutable(QLatin1String(programa)).isEmpty()) {
            *omitido = QStringLiteral("falta %1 para abrir un servidor X con un gestor de ventanas")
                           .arg(QLatin1String(programa));
            return {};
        }
    }
    QProcess x;
    x.start(QStringLiteral("xvfb-run"),
        { QStringLiteral("-a"), QStringLiteral("-s"),
            QStringLiteral("-screen 0 %1x%2x24").arg(pantalla.width()).arg(pantalla.height()),
            QStringLiteral("sh"), QStringLiteral("-c"),
            QStringLiteral("openbox >/dev/null 2>&1 & for i in $(seq 300); do "
                           "xprop -root _NET_SUPPORTED 2>/dev/null | grep -q "
                           "_NET_FRAME_EXTENTS && break; sleep 0.1; done; "
                           "QT_QPA_PLATFORM=xcb \"$0\" \"$1\""),
            QCoreApplication::applicationFilePath(), argumento });
    if (!x.waitForFinished(120000)) {
        x.kill();
        x.waitForFinished();
        *omitido = QStringLiteral("el servidor X no terminó en 120 s");
        return {};
    }
    const QString salida = QString::fromUtf8(x.readAllStandardOutput());
    const QString error = QString::fromUtf8(x.readAllStandardError());
    // The server that cannot start is the machine's; a program that fails is the test's.
    if (salida.isEmpty() && error.contains(QLatin1String("xvfb-run: error"))) {
        *omitido = QStringLiteral("no se pudo abrir un servidor X: ") + error;
        return {};
    }
    if (x.exitStatus() != QProcess::NormalExit || x.exitCode() != 0)
        return salida + QStringLiteral("\n[terminó con %1] ").arg(x.exitCode()) + error;
    return salida;
}

void filasDePantallasChicas()
{
    QTest::addColumn<QSize>("pantalla");
    QTest::newRow("1024 x 768") << QSize(1024, 768);
    QTest::newRow("1024 x 600") << QSize(1024, 600);
}

QString fallaEnPantallaChica(QSize pantalla, int minimo, QString *omitido)
{
    const QString salida
        = ejecutarConGestorDeVentanas(pantalla, QStringLiteral("--pantalla-chica"), omitido);
    if (salida.isEmpty())
        return {};
    // Without frames there is nothing to judge: the manager did not come up in time.
    if (salida.contains(QLatin1String("sin marco: "))) {
        *omitido = QStringLiteral("el gestor de ventanas no enmarcó las ventanas: ") + salida;
        return {};
    }
    const bool bien = salida.trimmed().section(QLatin1Char(' '), 0, 0) == QLatin1String("fin:")
        && salida.section(QLatin1Char(' '), 1, 1).toInt() >= minimo;
    return bien ? QString() : salida;
}

SalidaPython ejecutarPython(const QString &guion, const QStringList &argumentos)
{
    QProcess python;
    python.start(QFile::exists(QStringLiteral("/usr/bin/python3"))
            ? QStringLiteral("/usr/bin/python3")
            : QStringLiteral("python3"),
        QStringList { QStringLiteral("-c"), QStringLiteral("import sys, openpyxl\n") + guion }
            + argumentos);
    SalidaPython r;
    if (!python.waitForFinished(120000)) {
        r.error = QStringLiteral("python no terminó: %1").arg(python.errorString());
        return r;
    }
    r.salida = QString::fromUtf8(python.readAllStandardOutput());
    r.error = QString::fromUtf8(python.readAllStandardError());
    r.ok = python.exitStatus() == QProcess::NormalExit && python.exitCode() == 0;
    return r;
}

namespace {
// Runs `programa` (a launcher that ends by starting this test program with `argumentos`).
int ejecutarConLanzador(const QString &programa, const QStringList &lanzador,
    const QStringList &argumentos, QByteArray *salida)
{
    QProcess hijo;
    hijo.setProcessChannelMode(QProcess::MergedChannels);
    hijo.start(
        programa, lanzador + QStringList { QCoreApplication::applicationFilePath() } + argumentos);
    if (!hijo.waitForStarted())
        return kSinLanzador;
    // A child that hangs or crashes is a failure of the test, never a reason to skip it.
    const bool termino = hijo.waitForFinished(240000);
    if (!termino) {
        hijo.kill();
        hijo.waitForFinished();
    }
    *salida = hijo.readAll();
    // The launcher itself refuses when the machine does not allow it.
    if (termino && hijo.exitCode() != 0 && salida->startsWith(programa.toUtf8() + ':'))
        return kSinLanzador;
    if (!termino || hijo.exitStatus() != QProcess::NormalExit) {
        salida->append(termino ? "\n(el proceso hijo terminó de forma anormal)"
                               : "\n(el proceso hijo no terminó en 240 s)");
        return kHijoFallido;
    }
    return hijo.exitCode();
}
} // namespace

QRandomGenerator azarSembrado()
{
    bool dada = false;
    quint32 semilla = qEnvironmentVariable("SEMILLA").toUInt(&dada);
    if (!dada)
        semilla = QRandomGenerator::global()->generate();
    qInfo("semilla %u (SEMILLA=%u repite estos momentos)", semilla, semilla);
    return QRandomGenerator(semilla);
}

int ejecutarAislado(const QStringList &argumentos, QByteArray *salida)
{
    return ejecutarConLanzador(QStringLiteral("unshare"),
        { QStringLiteral("--mount"), QStringLiteral("--propagation"), QStringLiteral("private"),
            QStringLiteral("--") },
        argumentos, salida);
}

int ejecutarSinPrivilegios(const QStringList &argumentos, QByteArray *salida)
{
    if (::geteuid() != 0)
        return ejecutarConLanzador(QStringLiteral("env"), {}, argumentos, salida);
    return ejecutarConLanzador(QStringLiteral("setpriv"),
        { QStringLiteral("--reuid=65534"), QStringLiteral("--regid=65534"),
            QStringLiteral("--clear-groups"), QStringLiteral("--") },
        argumentos, salida);
}

bool montarDiscoChico(const QString &carpeta, int kib)
{
    QDir().mkpath(carpeta);
    return QProcess::execute(QStringLiteral("mount"),
               { QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                   QStringLiteral("size=%1k").arg(kib), QStringLiteral("tmpfs"), carpeta })
        == 0;
}

QString llenarDisco(const QString &carpeta)
{
    const QString ruta = QDir(carpeta).filePath(QStringLiteral("relleno"));
    QFile relleno(ruta);
    if (!relleno.open(QIODevice::WriteOnly))
        return ruta;
    const QByteArray bloque(4096, 'x');
    while (relleno.write(bloque) == bloque.size() && relleno.flush()) { }
    // The last partial block too.
    while (relleno.write("x", 1) == 1 && relleno.flush()) { }
    return ruta;
}

QByteArray pdfDeObjetos(const QList<QByteArray> &objetos, const QByteArray &trailer)
{
    QByteArray pdf = "%PDF-1.4\n";
    QList<qsizetype> posiciones;
    for (qsizetype i = 0; i < objetos.size(); ++i) {
        posiciones << pdf.size();
        pdf += QByteArray::number(i + 1) + " 0 obj\n" + objetos.at(i) + "\nendobj\n";
    }
    const qsizetype tabla = pdf.size();
    pdf += "xref\n0 " + QByteArray::number(objetos.size() + 1) + "\n0000000000 65535 f \n";
    for (qsizetype p : posiciones)
        pdf += QByteArray::number(p).rightJustified(10, '0') + " 00000 n \n";
    pdf += "trailer\n<< /Size " + QByteArray::number(objetos.size() + 1) + " /Root 1 0 R " + trailer
        + " >>\nstartxref\n" + QByteArray::number(tabla) + "\n%%EOF\n";
    return pdf;
}

QByteArray pdfDePrueba(const QByteArray &tipo)
{
    const QByteArray catalogo = "<< /Type /Catalog /Pages 2 0 R >>";
    if (tipo == "ciclo")
        return pdfDeObjetos({ catalogo, "<< /Type /Pages /Kids [2 0 R] /Count 1 >>" });
    const QByteArray pagina = "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 200 200] >>";
    if (tipo == "cifrado") {
        const QByteArray clave = "<" + QByteArray(64, 'a') + ">";
        return pdfDeObjetos(
            { catalogo, "<< /Type /Pages /Kids [3 0 R] /Count 1 >>", pagina,
                "<< /Filter /Standard /V 1 /R 2 /O " + clave + " /U " + clave + " /P -4 >>" },
            "/Encrypt 4 0 R /ID [<0123456789abcdef0123456789abcdef> "
            "<0123456789abcdef0123456789abcdef>]");
    }
    constexpr int kPaginas = 10000;
    QByteArray hijos;
    QList<QByteArray> objetos { catalogo, {} };
    for (int i = 0; i < kPaginas; ++i) {
        hijos += QByteArray::number(i + 3) + " 0 R ";
        objetos << pagina;
    }
    objetos[1]
        = "<< /Type /Pages /Kids [" + hijos + "] /Count " + QByteArray::number(kPaginas) + " >>";
    return pdfDeObjetos(objetos);
}

QByteArray huella(const QString &ruta)
{
    QFile f(ruta);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

void registrarAlumno(QWidget *w, const QString &dni)
{
    auto *codigo = hijo<QLineEdit>(w, "TxtCodEmpresa");
    codigo->setFocus();
    QTest::keyClicks(codigo, QStringLiteral("ee0310004"));
    hijo<QComboBox>(w, "CmbTurno")->setFocus(); // leaving the code box looks it up
    hijo<QComboBox>(w, "CmbTurno")->setCurrentIndex(1);
    QTest::keyClicks(hijo<QLineEdit>(w, "TxtSeccion"), QStringLiteral("4b"));
    hijo<QComboBox>(w, "CmbSexo")->setCurrentIndex(3);
    QTest::keyClicks(hijo<QLineEdit>(w, "TxtDNI"), dni);
    QTest::mouseClick(hijo<QPushButton>(w, "CmdAceptar"), Qt::LeftButton);
}

std::function<void(QWidget *)> clic(const QString &boton)
{
    return [boton](QWidget *w) { QTest::mouseClick(hijo<QPushButton>(w, boton), Qt::LeftButton); };
}

std::function<void(QWidget *)> elegirYClic(const QString &opcion, const QString &boton)
{
    return [=](QWidget *w) {
        QTest::mouseClick(hijo<QRadioButton>(w, opcion), Qt::LeftButton);
        QTest::mouseClick(hijo<QPushButton>(w, boton), Qt::LeftButton);
    };
}

std::function<void(QWidget *)> codigo(const QString &c)
{
    return [c](QWidget *w) {
        QTest::keyClicks(hijo<QLineEdit>(w, "TxtCodAcceso"), c);
        QTest::keyClick(hijo<QLineEdit>(w, "TxtCodAcceso"), Qt::Key_Return);
    };
}
