#include "VisorPdf.h"

#include "Entradas.h"
#include "Procesos.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTimer>

#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPdfDocument>
#include <QPdfPageNavigator>
#include <QPdfView>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QShortcut>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <cstdio>
#include <cstdlib>
#include <thread>

#ifdef Q_OS_LINUX
#include <csignal>
#include <sys/prctl.h>
#endif

namespace {
constexpr qreal kPaso = 1.25;
constexpr qreal kZoomMinimo = 0.25;
constexpr qreal kZoomMaximo = 6.0;

// A screen reader says the button's name, not the sign drawn on it.
QPushButton *botonBarra(
    QWidget *padre, const QString &texto, const QString &nombre, const QString &ayuda)
{
    auto *boton = new QPushButton(texto, padre);
    boton->setAccessibleName(nombre);
    boton->setToolTip(ayuda);
    boton->setAutoDefault(false);
    boton->setFocusPolicy(Qt::NoFocus);
    return boton;
}
} // namespace

VentanaDocumento::VentanaDocumento(const QString &ruta)
    : VentanaDocumento(ruta, QString())
{
}

VentanaDocumento *VentanaDocumento::conAviso(const QString &ruta, const QString &aviso)
{
    return new VentanaDocumento(ruta, aviso);
}

VentanaDocumento::VentanaDocumento(const QString &ruta, const QString &aviso)
    : m_documento(new QPdfDocument(this))
    , m_vista(new QPdfView(this))
    , m_pagina(new QLabel(this))
    , m_aviso(new QLabel(this))
    , m_texto(new QPlainTextEdit(this))
{
    setObjectName(QStringLiteral("VisorDocumento"));
    setAttribute(Qt::WA_DeleteOnClose);
    setWindowTitle(QStringLiteral("ORBELA - ") + QFileInfo(ruta).completeBaseName());

    m_alejar = botonBarra(
        this, QStringLiteral("−"), QStringLiteral("Alejar"), QStringLiteral("Alejar (Ctrl y −)"));
    m_acercar = botonBarra(
        this, QStringLiteral("+"), QStringLiteral("Acercar"), QStringLiteral("Acercar (Ctrl y +)"));
    QPushButton *ancho = botonBarra(this, QStringLiteral("Ajustar al ancho"),
        QStringLiteral("Ajustar al ancho"), QStringLiteral("Ajustar al ancho (Ctrl y 0)"));
    QPushButton *volver = botonBarra(this, QStringLiteral("Volver al examen"),
        QStringLiteral("Volver al examen"), QStringLiteral("Volver al examen (Escape)"));
    volver->setObjectName(QStringLiteral("VolverAlExamen"));
    connect(volver, &QPushButton::clicked, this, &VentanaDocumento::volverAlExamen);
    connect(new QShortcut(QKeySequence(Qt::Key_Escape), this), &QShortcut::activated, this,
        &VentanaDocumento::volverAlExamen);
    m_pagina->setObjectName(QStringLiteral("Pagina"));
    m_pagina->setAccessibleName(QStringLiteral("Página"));
    auto *barra = new QHBoxLayout;
    barra->addWidget(m_alejar);
    barra->addWidget(m_acercar);
    barra->addWidget(ancho);
    barra->addStretch();
    barra->addWidget(m_pagina);
    barra->addSpacing(24);
    barra->addWidget(volver);

    prepararTextos();
    auto *columna = new QVBoxLayout(this);
    columna->addLayout(barra);
    columna->addWidget(m_vista, 1);
    columna->addWidget(m_texto);
    columna->addWidget(m_aviso, 1);

    if (!aviso.isEmpty()) {
        m_aviso->setText(aviso);
    } else if (!QFileInfo(ruta).isFile()) {
        m_aviso->setText(avisoDocumentoAusente(ruta));
    } else if (m_documento->load(ruta) != QPdfDocument::Error::None
        || m_documento->pageCount() < 1) {
        m_aviso->setText(avisoDocumentoIlegible(ruta));
    } else {
        m_cargado = true;
    }
    m_vista->setVisible(m_cargado);
    m_texto->setVisible(m_cargado);
    m_aviso->setVisible(!m_cargado);
    m_aviso->setAccessibleDescription(m_aviso->text());
    for (QWidget *control : { static_cast<QWidget *>(m_alejar), static_cast<QWidget *>(m_acercar),
             static_cast<QWidget *>(ancho), static_cast<QWidget *>(m_pagina) })
        control->setEnabled(m_cargado);
    if (m_cargado) {
        delete m_aviso;
        m_aviso = nullptr;
        mostrarDocumento(ruta, ancho);
    }
}

// The notice, large, and the page's words, which a screen reader reads line by line: a few
// lines high, under the page.
void VentanaDocumento::prepararTextos()
{
    m_aviso->setObjectName(QStringLiteral("Aviso"));
    m_aviso->setAccessibleName(QStringLiteral("Aviso"));
    m_aviso->setAlignment(Qt::AlignCenter);
    m_aviso->setWordWrap(true);
    QFont grande = m_aviso->font();
    grande.setPointSizeF(grande.pointSizeF() * 1.6);
    grande.setBold(true);
    m_aviso->setFont(grande);
    m_texto->setObjectName(QStringLiteral("TextoPagina"));
    m_texto->setReadOnly(true);
    m_texto->setTextInteractionFlags(Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
    m_texto->setMaximumHeight(m_texto->fontMetrics().lineSpacing() * 4 + 12);
}

// The document read: its view, the bar's buttons and the zoom keys.
void VentanaDocumento::mostrarDocumento(const QString &ruta, QPushButton *ancho)
{
    m_vista->setObjectName(QStringLiteral("Documento"));
    m_vista->setAccessibleName(QFileInfo(ruta).completeBaseName());
    m_vista->setDocument(m_documento);
    m_vista->setPageMode(QPdfView::PageMode::MultiPage);
    m_vista->setZoomMode(QPdfView::ZoomMode::FitToWidth);
    m_vista->viewport()->installEventFilter(this);
    m_vista->setFocus();
    connect(m_vista->pageNavigator(), &QPdfPageNavigator::currentPageChanged, this,
        &VentanaDocumento::mostrarPagina);
    connect(m_alejar, &QPushButton::clicked, this, &VentanaDocumento::alejar);
    connect(m_acercar, &QPushButton::clicked, this, &VentanaDocumento::acercar);
    connect(ancho, &QPushButton::clicked, this,
        [this] { m_vista->setZoomMode(QPdfView::ZoomMode::FitToWidth); });
    for (const QKeySequence &tecla :
        { QKeySequence(QKeySequence::ZoomIn), QKeySequence(Qt::CTRL | Qt::Key_Equal) })
        connect(
            new QShortcut(tecla, this), &QShortcut::activated, this, &VentanaDocumento::acercar);
    connect(new QShortcut(QKeySequence(QKeySequence::ZoomOut), this), &QShortcut::activated, this,
        &VentanaDocumento::alejar);
    // Ctrl and 0, as on an exam's picture, gives back the view the document opened with.
    connect(new QShortcut(QKeySequence(Qt::CTRL | Qt::Key_0), this), &QShortcut::activated, ancho,
        &QPushButton::click);
    mostrarPagina();
}

QString VentanaDocumento::aviso() const
{
    return m_aviso ? m_aviso->text() : QString();
}

void VentanaDocumento::volverAlExamen()
{
    showMinimized();
}

int VentanaDocumento::pagina() const
{
    return m_cargado ? m_vista->pageNavigator()->currentPage() + 1 : 0;
}

int VentanaDocumento::paginas() const
{
    return m_cargado ? m_documento->pageCount() : 0;
}

qreal VentanaDocumento::zoom() const
{
    return zoomEfectivo();
}

qreal VentanaDocumento::zoomEfectivo() const
{
    if (m_vista->zoomMode() == QPdfView::ZoomMode::Custom)
        return m_vista->zoomFactor();
    const qreal puntos = m_documento->pagePointSize(0).width();
    const QScreen *pantalla = screen() ? screen() : QGuiApplication::primaryScreen();
    const qreal pixelesPorPunto = pantalla ? pantalla->logicalDotsPerInch() / 72.0 : 1.0;
    const QMargins margenes = m_vista->documentMargins();
    const int disponible = m_vista->viewport()->width() - margenes.left() - margenes.right();
    return puntos > 0 ? qMax(kZoomMinimo, disponible / (puntos * pixelesPorPunto)) : 1.0;
}

void VentanaDocumento::ponerZoom(qreal factor)
{
    m_vista->setZoomMode(QPdfView::ZoomMode::Custom);
    m_vista->setZoomFactor(qBound(kZoomMinimo, factor, kZoomMaximo));
}

void VentanaDocumento::acercar()
{
    if (m_cargado)
        ponerZoom(zoomEfectivo() * kPaso);
}

void VentanaDocumento::alejar()
{
    if (m_cargado)
        ponerZoom(zoomEfectivo() / kPaso);
}

void VentanaDocumento::mostrarPagina()
{
    const QString texto = QStringLiteral("página %1 de %2").arg(pagina()).arg(paginas());
    m_pagina->setText(texto);
    m_pagina->setAccessibleDescription(texto);
    if (!m_cargado || m_paginaDelTexto == pagina())
        return;
    m_paginaDelTexto = pagina();
    m_texto->setAccessibleName(QStringLiteral("Texto de la página %1").arg(pagina()));
    m_texto->setPlainText(m_documento->getAllText(pagina() - 1).text());
}

bool VentanaDocumento::eventFilter(QObject *objeto, QEvent *evento)
{
    // Ctrl and the wheel zoom, as in every viewer; the wheel alone scrolls.
    if (objeto == m_vista->viewport() && evento->type() == QEvent::Wheel) {
        auto *rueda = static_cast<QWheelEvent *>(evento);
        if (rueda->modifiers() & Qt::ControlModifier) {
            if (rueda->angleDelta().y() > 0)
                acercar();
            else if (rueda->angleDelta().y() < 0)
                alejar();
            return true;
        }
    }
    return QWidget::eventFilter(objeto, evento);
}

void VentanaDocumento::resizeEvent(QResizeEvent *evento)
{
    QWidget::resizeEvent(evento);
    if (m_cargado)
        mostrarPagina();
}

QString avisoAbriendoDocumento()
{
    return QStringLiteral("Abriendo el documento…");
}

QString avisoDocumentoAusente(const QString &ruta)
{
    return QStringLiteral("No se encuentra el documento \"%1\".\nAvise al supervisor.")
        .arg(QFileInfo(ruta).fileName());
}

QString avisoDocumentoIlegible(const QString &ruta)
{
    return QStringLiteral("No se puede leer el documento \"%1\".\nAvise al supervisor.")
        .arg(QFileInfo(ruta).fileName());
}

// The reader of a document speaks one word a line on its output: "vivo" once it runs,
// "listo" once the document is on screen or "aviso" when it cannot be read, and "!" to every
// "?" of the station. The station also sends "frente" to bring the window to the front; when
// the station goes, the reader goes with it.
namespace {
constexpr int kIntervaloPreguntaMs = 500;
constexpr int kIntervaloVigilanciaMs = 100;

QString clave(const QString &ruta)
{
    return QFileInfo(ruta).absoluteFilePath();
}

void decir(const char *palabra)
{
    std::fputs(palabra, stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

// What the station can tell before any reader starts: nothing there, or nothing that can be
// opened without waiting (a folder, a pipe, a link to nowhere).
QString avisoPrevio(const QString &ruta)
{
    if (tipoEntrada(ruta) == TipoEntrada::Ninguna)
        return avisoDocumentoAusente(ruta);
    QFile archivo;
    if (!abrirArchivoOrdinario(archivo, ruta).ok())
        return avisoDocumentoIlegible(ruta);
    return {};
}

void alFrente(QWidget *ventana)
{
    ventana->setWindowState((ventana->windowState() & ~Qt::WindowMinimized) | Qt::WindowMaximized);
    ventana->show();
    ventana->raise();
    ventana->activateWindow();
}

int mostrarDocumento(const QString &ruta)
{
#ifdef Q_OS_LINUX
    // A reader left alone when the station dies unexpectedly goes with it.
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
#endif
    static QPointer<VentanaDocumento> ventana;
    // The station's words, read apart: the window answers them from its own thread, so an
    // answer proves that the window is alive. When the station is gone, so is the reader,
    // even in the middle of a document that never ends.
    std::thread([] {
        char linea[64];
        while (std::fgets(linea, sizeof linea, stdin)) {
            const QByteArray palabra = QByteArray(linea).trimmed();
            QMetaObject::invokeMethod(
                qApp,
                [palabra] {
                    if (palabra == "?")
                        decir("!");
                    else if (palabra == "frente" && ventana)
                        alFrente(ventana);
                },
                Qt::QueuedConnection);
        }
        std::fflush(stdout);
        std::_Exit(0);
    }).detach();
    decir("vivo");
    ventana = new VentanaDocumento(ruta);
    if (!ventana->cargado()) {
        decir("aviso");
        std::_Exit(0);
    }
    alFrente(ventana);
    decir("listo");
    const int codigo = QCoreApplication::exec();
    std::fflush(stdout);
    std::_Exit(codigo);
}

int probarDocumento(const QString &ruta)
{
    QPdfDocument documento;
    const QPdfDocument::Error error = documento.load(ruta);
    if (error != QPdfDocument::Error::None || documento.pageCount() < 1) {
        std::printf("aviso %s\n",
            error == QPdfDocument::Error::IncorrectPassword ? "pide contraseña"
                                                            : "no se puede leer");
        return 1;
    }
    // The first page drawn too: a page that never ends drawing is as bad as a document.
    const QSizeF puntos = documento.pagePointSize(0);
    (void)documento.render(0, puntos.toSize().boundedTo(QSize(600, 800)).expandedTo(QSize(1, 1)));
    std::printf("paginas %d\n", documento.pageCount());
    return 0;
}
} // namespace

QString opcionMostrarDocumento()
{
    return QStringLiteral("--mostrar-documento");
}

QString opcionProbarDocumento()
{
    return QStringLiteral("--probar-documento");
}

int atenderDocumentoAparte(const QStringList &argumentos)
{
    for (const QString &opcion : { opcionMostrarDocumento(), opcionProbarDocumento() }) {
        const qsizetype i = argumentos.indexOf(opcion);
        if (i < 1 || i + 1 >= argumentos.size())
            continue;
        return opcion == opcionMostrarDocumento() ? mostrarDocumento(argumentos.at(i + 1))
                                                  : probarDocumento(argumentos.at(i + 1));
    }
    return -1;
}

QString probarDocumentoAparte(const QString &programa, const QString &ruta, int plazoMs)
{
    if (tipoEntrada(ruta) == TipoEntrada::Ninguna)
        return QStringLiteral("no existe");
    QFile archivo;
    if (const Resultado abierto = abrirArchivoOrdinario(archivo, ruta); !abierto.ok())
        return abierto.detalle;
    archivo.close();
    QProcess lector;
    lector.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    lector.start(programa, { opcionProbarDocumento(), ruta });
    if (!lector.waitForStarted(plazoMs))
        return QStringLiteral("no se pudo iniciar el lector de documentos (%1)")
            .arg(lector.errorString());
    if (!lector.waitForFinished(plazoMs)) {
        lector.kill();
        lector.waitForFinished();
        return QStringLiteral(
            "no se abre: el lector no terminó de leerlo en %1 s (documento dañado)")
            .arg(plazoMs / 1000);
    }
    const QString salida = QString::fromUtf8(lector.readAllStandardOutput()).trimmed();
    if (lector.exitStatus() != QProcess::NormalExit)
        return QStringLiteral("no se abre: el lector se detuvo al leerlo (documento dañado)");
    if (salida.startsWith(QLatin1String("aviso ")))
        return QStringLiteral("no se abre: %1").arg(salida.mid(6));
    if (!salida.startsWith(QLatin1String("paginas ")))
        return QStringLiteral("no se abre: el lector no dio respuesta");
    return {};
}

struct VisorPdf::Lector {
    QProcess proceso;
    QByteArray pendiente; // the part of a line not yet complete
    QElapsedTimer silencio; // since the start, then since its last word
    QElapsedTimer pregunta; // since the "?" that waits for its answer; invalid when none does
    // What the reader owes: since when, and its processor time then (-1 when not known).
    QElapsedTimer deuda;
    qint64 procesadorAlDeber = -1;
    bool vivo = false;
    bool listo = false;

    void deber()
    {
        deuda.start();
        procesadorAlDeber = tiempoDeProcesadorMs(proceso.processId());
    }
};

VisorPdf::VisorPdf(const QString &programa, PlazosLector plazos)
    : m_programa(programa.isEmpty() ? QCoreApplication::applicationFilePath() : programa)
    , m_plazos(plazos)
    , m_vigilancia(new QTimer(this))
{
    m_vigilancia->setInterval(kIntervaloVigilanciaMs);
    connect(m_vigilancia, &QTimer::timeout, this, &VisorPdf::vigilar);
}

VisorPdf::~VisorPdf()
{
    for (Lector *lector : std::as_const(m_lectores)) {
        lector->proceso.disconnect();
        lector->proceso.kill();
        lector->proceso.waitForFinished(1000);
        delete lector;
    }
    for (const QPointer<VentanaDocumento> &ventana : std::as_const(m_avisos))
        delete ventana.data();
    for (const QPointer<QWidget> &ventana : std::as_const(m_abriendo))
        delete ventana.data();
}

VisorPdf::Estado VisorPdf::estado(const QString &ruta) const
{
    if (const Lector *lector = m_lectores.value(clave(ruta)))
        return lector->listo ? Estado::Abierto : Estado::Abriendo;
    return m_avisos.value(clave(ruta)) ? Estado::Aviso : Estado::Cerrado;
}

qint64 VisorPdf::proceso(const QString &ruta) const
{
    const Lector *lector = m_lectores.value(clave(ruta));
    return lector ? lector->proceso.processId() : 0;
}

void VisorPdf::abrir(const QString &ruta)
{
    const QString k = clave(ruta);
    if (Lector *lector = m_lectores.value(k)) {
        // Still reading: the click is answered when the window shows.
        if (lector->listo)
            lector->proceso.write("frente\n");
        else if (QWidget *abriendo = m_abriendo.value(k))
            abriendo->raise();
        return;
    }
    // A notice shown before gives way to a new try: the supervisor may have mended the file.
    delete m_avisos.take(k).data();
    if (const QString aviso = avisoPrevio(ruta); !aviso.isEmpty()) {
        mostrarAviso(k, aviso);
        return;
    }
    auto *lector = new Lector;
    m_lectores.insert(k, lector);
    lector->proceso.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    connect(&lector->proceso, &QProcess::readyReadStandardOutput, this,
        [this, k] { leerRespuestas(k); });
    connect(&lector->proceso, &QProcess::finished, this,
        [this, k](int codigo, QProcess::ExitStatus estado) {
            leerRespuestas(k);
            Lector *l = m_lectores.take(k);
            if (!l)
                return;
            l->proceso.disconnect();
            quitarAbriendo(k);
            // A window the student closed ends the reader with 0; anything else is a reader
            // that failed, and the student is told.
            if (!l->listo || estado != QProcess::NormalExit || codigo != 0)
                mostrarAviso(k, avisoDocumentoIlegible(k));
            // Not from inside the signal of its own process.
            QTimer::singleShot(0, this, [l] { delete l; });
        });
    connect(
        &lector->proceso, &QProcess::errorOccurred, this, [this, k](QProcess::ProcessError error) {
            if (error != QProcess::FailedToStart)
                return;
            Lector *l = m_lectores.take(k);
            if (!l)
                return;
            l->proceso.disconnect();
            QTimer::singleShot(0, this, [l] { delete l; });
            mostrarAviso(k, avisoDocumentoIlegible(k));
        });
    lector->silencio.start();
    lector->proceso.start(m_programa, { opcionMostrarDocumento(), ruta });
    mostrarAbriendo(k);
    m_vigilancia->start();
}

void VisorPdf::leerRespuestas(const QString &k)
{
    Lector *lector = m_lectores.value(k);
    if (!lector)
        return;
    lector->pendiente += lector->proceso.readAllStandardOutput();
    for (qsizetype fin; (fin = lector->pendiente.indexOf('\n')) >= 0;) {
        const QByteArray palabra = lector->pendiente.left(fin).trimmed();
        lector->pendiente.remove(0, fin + 1);
        lector->silencio.restart();
        if (palabra == "vivo") {
            // Now it reads the document, and owes the station its window.
            lector->vivo = true;
            lector->deber();
        } else if (palabra == "listo") {
            lector->listo = true;
            quitarAbriendo(k);
        } else if (palabra == "!") {
            lector->pregunta.invalidate();
        } else if (palabra == "aviso") {
            // The reader ends by itself; the notice is the station's.
            lector->listo = false;
        }
    }
}

void VisorPdf::vigilar()
{
    const QStringList claves = m_lectores.keys();
    for (const QString &k : claves) {
        // What the reader said while the station was busy counts before any judgement (and
        // a reader that ended meanwhile is gone from the list after this).
        if (Lector *lector = m_lectores.value(k))
            lector->proceso.waitForReadyRead(0);
        Lector *lector = m_lectores.value(k);
        if (!lector)
            continue;
        leerRespuestas(k);
        if (atascado(*lector)) {
            // Stuck in its document: it goes, and the student is told at once.
            m_lectores.remove(k);
            lector->proceso.disconnect();
            lector->proceso.kill();
            lector->proceso.waitForFinished(1000);
            delete lector;
            mostrarAviso(k, avisoDocumentoIlegible(k));
            continue;
        }
        if (lector->listo && !lector->pregunta.isValid()
            && lector->silencio.elapsed() >= kIntervaloPreguntaMs) {
            lector->proceso.write("?\n");
            lector->pregunta.start();
            lector->deber();
        }
    }
    if (m_lectores.isEmpty())
        m_vigilancia->stop();
}

// Reading the document, the reader cannot answer; once it shows it, it must answer every "?".
// Only what it owes counts: a station that was busy itself has not asked.
bool VisorPdf::atascado(Lector &lector) const
{
    if (!lector.vivo)
        return lector.silencio.elapsed() > m_plazos.arranqueMs;
    if (lector.listo && !lector.pregunta.isValid())
        return false;
    const qint64 procesador = tiempoDeProcesadorMs(lector.proceso.processId());
    // Where the processor time cannot be known, the wall clock stands for it.
    const qint64 gastado = procesador >= 0 && lector.procesadorAlDeber >= 0
        ? procesador - lector.procesadorAlDeber
        : lector.deuda.elapsed();
    return gastado > m_plazos.procesadorMs || lector.deuda.elapsed() > m_plazos.esperaMs;
}

// A small window of the station, at once, while the reader starts and reads.
void VisorPdf::mostrarAbriendo(const QString &k)
{
    quitarAbriendo(k);
    auto *ventana = new QLabel(avisoAbriendoDocumento());
    ventana->setObjectName(QStringLiteral("Abriendo"));
    ventana->setAttribute(Qt::WA_DeleteOnClose);
    ventana->setWindowTitle(QStringLiteral("ORBELA - ") + QFileInfo(k).completeBaseName());
    ventana->setAlignment(Qt::AlignCenter);
    ventana->setMargin(24);
    QFont grande = ventana->font();
    grande.setPointSizeF(grande.pointSizeF() * 1.4);
    ventana->setFont(grande);
    ventana->adjustSize();
    if (const QScreen *pantalla = QGuiApplication::primaryScreen()) {
        QRect caja = ventana->frameGeometry();
        caja.moveCenter(pantalla->availableGeometry().center());
        ventana->move(caja.topLeft());
    }
    m_abriendo.insert(k, ventana);
    ventana->show();
    ventana->raise();
}

void VisorPdf::quitarAbriendo(const QString &k)
{
    delete m_abriendo.take(k).data();
}

void VisorPdf::mostrarAviso(const QString &k, const QString &texto)
{
    quitarAbriendo(k);
    delete m_avisos.take(k).data();
    VentanaDocumento *ventana = VentanaDocumento::conAviso(k, texto);
    m_avisos.insert(k, ventana);
    alFrente(ventana);
}
