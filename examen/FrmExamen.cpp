#include "FrmExamen.h"

#include "Controles.h"
#include "Entorno.h"
#include "Entradas.h"
#include "Finalizacion.h"
#include "Geometria.h"
#include "Module1.h"
#include "Recuperacion.h"
#include "Reporte.h"

#include <QFile>
#include <QFrame>
#include <QImageReader>
#include <QKeyEvent>
#include <QLabel>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QShortcut>
#include <QStyle>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace {

constexpr quint32 kAmarilloSinResponder = 0x00C0FFFF;
constexpr std::array<int, 4> kIzquierdaOpciones = { 4680, 6000, 7320, 8640 };
const char *const kLetras[4] = { "A", "B", "C", "D" };
// The picture area shows this text when a question picture is missing or unreadable.
constexpr int kAnchoAviso = 8400;
constexpr int kAltoAviso = 2400;
// A zoomed picture is kept inside this rectangle (twips): below the question buttons, above
// the line "SELECCIONE LA OPCIÓN CORRECTA".
constexpr int kLibreIzquierda = 60;
constexpr int kLibreArriba = 1380;
constexpr int kLibreDerecha = 14205;
constexpr int kLibreAbajo = 7050;
// A description longer than this is no description but a stray file; it is left unread.
constexpr qint64 kMaximoDescripcion = 16 * 1024;

QString leerDescripcion(const QString &ruta)
{
    QFile archivo;
    if (!abrirArchivoOrdinario(archivo, ruta).ok() || archivo.size() > kMaximoDescripcion)
        return {};
    return QString::fromUtf8(archivo.read(kMaximoDescripcion)).trimmed();
}

void linea(QWidget *padre, const char *nombre, int x, int y1, int y2)
{
    auto *l = new QFrame(padre);
    l->setObjectName(QLatin1String(nombre));
    l->setFrameShape(QFrame::VLine);
    l->setFrameShadow(QFrame::Plain);
    l->setLineWidth(1);
    l->setGeometry(tw(x), tw(y1), 1, tw(y2) - tw(y1));
}

} // namespace

FrmExamen::FrmExamen(Entorno &entorno, Sesion &sesion, const ConfigExamen &config)
    : Formulario(QLatin1String(config.nombreFormulario), QStringLiteral("ORBELA"), 14265, 8085)
    , m_entorno(entorno)
    , m_sesion(sesion)
    , m_config(config)
{
    // Created first so that it lies beneath every other control.
    m_image1 = new QLabel(this);
    m_image1->setObjectName(QStringLiteral("Image1"));
    m_image1->setAlignment(Qt::AlignCenter);
    m_image1->setWordWrap(true);
    m_image1->installEventFilter(this);

    m_banner = crearControl<QLabel>(
        this, { QLatin1String(config.nombreBanner), {}, { 120, 0, 14055, 855 }, {}, {} });
    m_banner->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    // A picture box in the tab order: first of all, it takes the focus when the form shows,
    // so Enter or Space right after a question opens do nothing.
    m_banner->setFocusPolicy(Qt::TabFocus);
    ordenTab(0, m_banner);
    m_label2 = crearControl<QLabel>(m_banner,
        { QStringLiteral("Label2"), {}, { 240, 360, config.anchoLabel2, 255 }, {}, 0x00FFFFFF });

    const QString nombreBotones = QLatin1String(config.nombreBotones);
    for (int i = 0; i < kPreguntas; ++i) {
        m_botones[i] = crearControl<Boton>(this,
            { nombreBotones + QLatin1Char('_') + QString::number(i), QString::number(i + 1),
                { config.izquierdaBotones + 600 * i, 960, 495, 375 }, {}, kColorCaraBoton });
        m_botones[i]->setProperty("indice", i);
        connect(m_botones[i], &QPushButton::clicked, this, [this, i] { CmdPreg_Click(i); });
        ordenTab(config.tab.primerBoton + i, m_botones[i]);
    }

    m_label1 = crearControl<QLabel>(this,
        { QStringLiteral("Label1"),
            QString(30, QLatin1Char('-')) + QStringLiteral("  SELECCIONE LA OPCIÓN CORRECTA  ")
                + QString(30, QLatin1Char('-')),
            { 2640, 7080, config.anchoLabel1, 255 }, fuenteSans(9.75, true), {} });
    m_label1->setAlignment(Qt::AlignLeft | Qt::AlignTop);

    crearOpciones();
    crearNavegacion();
}

// The options A to D: named for a screen reader, chosen by their letter too, and each choice
// told at once on the question's button.
void FrmExamen::crearOpciones()
{
    for (int k = 0; k < 4; ++k) {
        m_opciones[k] = crearControl<QRadioButton>(this,
            { QLatin1String(m_config.prefijoOpciones) + QLatin1String(kLetras[k]),
                QLatin1String(kLetras[k]),
                { kIzquierdaOpciones[k], 7440, m_config.anchoOpciones[k], m_config.altoOpciones },
                fuenteSans(13.5, true), {} });
        ordenTab(m_config.tab.primeraOpcion + k, m_opciones[k]);
        m_opciones[k]->setAccessibleName(QStringLiteral("Opción ") + QLatin1String(kLetras[k]));
        m_opciones[k]->installEventFilter(this);
        // The question's button says the option chosen as soon as it is chosen.
        connect(m_opciones[k], &QRadioButton::toggled, this, [this, k](bool elegida) {
            const int pregunta = preguntaDe(m_sesion, m_config.asignatura);
            if (elegida && pregunta >= 1 && pregunta <= kPreguntas)
                nombrarBotonPregunta(pregunta, QLatin1String(kLetras[k]));
        });
        // The key of the letter, small or capital, chooses that option as a click does.
        for (const QKeySequence &tecla :
            { QKeySequence(Qt::Key_A + k), QKeySequence(Qt::SHIFT | (Qt::Key_A + k)) }) {
            auto *atajo = new QShortcut(tecla, this);
            atajo->setContext(Qt::WindowShortcut);
            connect(atajo, &QShortcut::activated, m_opciones[k], [boton = m_opciones[k]] {
                boton->setFocus(Qt::ShortcutFocusReason);
                boton->click();
            });
        }
    }
}

// Previous, next, leave without saving and save and finish, with the lines between them.
void FrmExamen::crearNavegacion()
{
    const QFont grande = fuenteSans(13.5);
    m_cmdAnterior = crearControl<Boton>(this,
        { QStringLiteral("CmdAnterior"), QStringLiteral("Anterior"), { 2760, 7320, 1335, 615 },
            grande, 0x00C0FFC0 });
    m_cmdSiguiente = crearControl<Boton>(this,
        { QStringLiteral("CmdSiguiente"), QStringLiteral("Siguiente"), { 9840, 7320, 1335, 615 },
            grande, 0x00C0FFC0 });
    linea(this, "Line2", 2520, 7320, 7920);
    linea(this, "Line1", 11400, 7320, 7920);
    m_cmdSalir = crearControl<Boton>(this,
        { QStringLiteral("CmdSalir"), QStringLiteral("Salir sin guardar"), { 360, 7200, 1455, 735 },
            fuenteSans(9.75, true), 0x00C0C0FF });
    m_cmdFinalizar = crearControl<Boton>(this,
        { QStringLiteral("CmdFinalizar"), QStringLiteral("Guardar y Finalizar"),
            { 12120, 7200, 1455, 735 }, grande, 0x0080C0FF });
    ordenTab(m_config.tab.siguiente, m_cmdSiguiente);
    ordenTab(m_config.tab.anterior, m_cmdAnterior);
    ordenTab(m_config.tab.finalizar, m_cmdFinalizar);
    ordenTab(m_config.tab.salir, m_cmdSalir);

    connect(m_cmdSiguiente, &QPushButton::clicked, this, &FrmExamen::CmdSiguiente_Click);
    connect(m_cmdAnterior, &QPushButton::clicked, this, &FrmExamen::CmdAnterior_Click);
    connect(m_cmdFinalizar, &QPushButton::clicked, this, &FrmExamen::CmdFinalizar_Click);
    connect(m_cmdSalir, &QPushButton::clicked, this, &FrmExamen::CmdSalir_Click);
}

bool FrmExamen::eventFilter(QObject *objeto, QEvent *evento)
{
    // Ctrl and the wheel over the picture zoom it, a step per notch; the wheel alone scrolls.
    if (evento->type() == QEvent::Wheel
        && (objeto == m_image1 || (m_zona && objeto == m_zona->viewport()))) {
        const auto *rueda = static_cast<QWheelEvent *>(evento);
        if (rueda->modifiers() & Qt::ControlModifier) {
            m_ruedaAcumulada += rueda->angleDelta().y();
            for (; m_ruedaAcumulada >= QWheelEvent::DefaultDeltasPerStep;
                 m_ruedaAcumulada -= QWheelEvent::DefaultDeltasPerStep)
                cambiarZoom(1);
            for (; m_ruedaAcumulada <= -QWheelEvent::DefaultDeltasPerStep;
                 m_ruedaAcumulada += QWheelEvent::DefaultDeltasPerStep)
                cambiarZoom(-1);
            return true;
        }
    }
    // The arrow keys in the A–D group choose as they move, wrapping at the ends; with Ctrl
    // they scroll the picture and choose nothing.
    if (evento->type() == QEvent::KeyPress) {
        const auto *tecla = static_cast<QKeyEvent *>(evento);
        if (std::find(m_opciones.begin(), m_opciones.end(), objeto) != m_opciones.end()
            && desplazarImagen(*tecla))
            return true;
        const int paso = tecla->key() == Qt::Key_Right || tecla->key() == Qt::Key_Down ? 1
            : tecla->key() == Qt::Key_Left || tecla->key() == Qt::Key_Up               ? -1
                                                                                       : 0;
        for (int k = 0; k < 4 && paso != 0 && tecla->modifiers() == Qt::NoModifier; ++k) {
            if (objeto != m_opciones[k])
                continue;
            QRadioButton *siguiente = m_opciones[(k + paso + 4) % 4];
            siguiente->setFocus(Qt::OtherFocusReason);
            siguiente->click();
            return true;
        }
    }
    return Formulario::eventFilter(objeto, evento);
}

bool FrmExamen::desplazarImagen(const QKeyEvent &tecla)
{
    if (!(tecla.modifiers() & Qt::ControlModifier))
        return false;
    const int k = tecla.key();
    if (k != Qt::Key_Left && k != Qt::Key_Right && k != Qt::Key_Up && k != Qt::Key_Down)
        return false;
    if (!m_zona || !m_zona->isVisible())
        return true;
    QScrollBar *barra = k == Qt::Key_Left || k == Qt::Key_Right ? m_zona->horizontalScrollBar()
                                                                : m_zona->verticalScrollBar();
    const int paso = std::max(1, barra->pageStep() / 4);
    barra->setValue(barra->value() + (k == Qt::Key_Left || k == Qt::Key_Up ? -paso : paso));
    return true;
}

void FrmExamen::keyPressEvent(QKeyEvent *evento)
{
    if (desplazarImagen(*evento))
        return;
    // Ctrl with "+" (or "=", the same key unshifted), "−" or 0, on the main keys or the keypad.
    if (evento->modifiers() & Qt::ControlModifier) {
        switch (evento->key()) {
        case Qt::Key_Plus:
        case Qt::Key_Equal:
            cambiarZoom(1);
            return;
        case Qt::Key_Minus:
            cambiarZoom(-1);
            return;
        case Qt::Key_0:
            cambiarZoom(0);
            return;
        default:
            break;
        }
    }
    Formulario::keyPressEvent(evento);
}

void FrmExamen::cambiarZoom(int paso)
{
    const auto actual = std::find(kPasosZoom.begin(), kPasosZoom.end(), m_entorno.zoomPregunta);
    int indice = actual == kPasosZoom.end() ? 0 : int(actual - kPasosZoom.begin());
    indice = paso == 0 ? 0 : std::clamp(indice + paso, 0, int(kPasosZoom.size()) - 1);
    if (kPasosZoom[indice] == m_entorno.zoomPregunta)
        return;
    m_entorno.zoomPregunta = kPasosZoom[indice];
    presentarImagen();
}

void FrmExamen::ordenTab(int indice, QWidget *control)
{
    m_ordenTab.append({ indice, control });
}

void FrmExamen::aplicarOrdenTab()
{
    std::stable_sort(m_ordenTab.begin(), m_ordenTab.end(),
        [](const auto &a, const auto &b) { return a.first < b.first; });
    for (qsizetype i = 1; i < m_ordenTab.size(); ++i)
        setTabOrder(m_ordenTab[i - 1].second, m_ordenTab[i].second);
    if (!m_ordenTab.isEmpty())
        m_ordenTab.first().second->setFocus();
}

void FrmExamen::cargar()
{
    antesDeCargar();
    quitarCerrar();
    aplicarOrdenTab();

    const Asignatura a = m_config.asignatura;
    const int modelo = modeloDe(m_sesion, a);
    const int pregunta = preguntaDe(m_sesion, a);
    const Sesion::Respuestas &respuestas = respuestasDe(m_sesion, a);
    const bool preguntaValida = pregunta >= 1 && pregunta <= kPreguntas;

    m_label2->setText(QStringLiteral("Modelo: ") + QString::number(modelo));

    if (modelo >= 1 && modelo <= kModelos && preguntaValida) {
        mostrarImagen(modelo, pregunta);
        if (pregunta == 1)
            m_cmdAnterior->setVisible(false);
        if (pregunta == kPreguntas)
            m_cmdSiguiente->setVisible(false);
    }

    if (preguntaValida) {
        for (int k = 0; k < 4; ++k) {
            if (respuestas[pregunta] == QLatin1String(kLetras[k]))
                m_opciones[k]->setChecked(true);
        }
        if (pregunta == kPreguntas)
            m_cmdSiguiente->setVisible(false);
    }

    // The light yellow of an unanswered question, said in words too for a screen reader.
    for (int i = 0; i < kPreguntas; ++i) {
        m_botones[i]->setColorFondo(
            respuestas[i + 1].isEmpty() ? kAmarilloSinResponder : kColorCaraBoton);
        nombrarBotonPregunta(i + 1, respuestas[i + 1]);
    }
    if (preguntaValida)
        m_image1->setAccessibleName(
            QStringLiteral("Pregunta %1 de %2").arg(pregunta).arg(kPreguntas));
    if (modelo >= 1 && modelo <= kModelos && preguntaValida)
        m_image1->setAccessibleDescription(leerDescripcion(
            rutaDescripcionPregunta(m_entorno.carpetaPrograma, a, modelo, pregunta)));
    m_banner->setAccessibleName(nombreVisible(m_config.asignatura));

    presentarImagen();

    fijarTamanoExterior(14500, 8650);
}

void FrmExamen::mostrarImagen(int modelo, int pregunta)
{
    const QString ruta
        = rutaPregunta(m_entorno.carpetaPrograma, m_config.asignatura, modelo, pregunta);
    // A pipe or a device at the picture's name is never opened: it would wait for ever.
    QFile archivo;
    QImage imagen;
    m_imagenNatural = QImage();
    if (abrirArchivoOrdinario(archivo, ruta).ok()) {
        QImageReader lector(&archivo);
        imagen = lector.read();
    }
    if (!imagen.isNull()) {
        m_imagenNatural = std::move(imagen);
        // The picture covers its whole rectangle: nothing behind it needs painting.
        m_image1->setAttribute(Qt::WA_OpaquePaintEvent);
        return;
    }
    // The exam goes on: the student can still answer, move and save.
    m_image1->setText(QStringLiteral("No se puede mostrar la imagen de la pregunta %1.\n"
                                     "Avise al supervisor. Puede seguir respondiendo y navegando.")
                          .arg(pregunta));
    m_image1->setFont(fuenteSans(13.5, true));
    m_image1->setFrameShape(QFrame::Box);
    m_image1->resize(tw(kAnchoAviso), tw(kAltoAviso));
}

void FrmExamen::presentarImagen()
{
    if (m_zona && m_zona->widget() == m_image1) {
        m_zona->takeWidget();
        m_image1->setParent(this);
        m_image1->lower();
        m_image1->show();
        m_zona->hide();
    }
    const int zoom = m_entorno.zoomPregunta;
    if (m_imagenNatural.isNull() || zoom == 100) {
        if (!m_imagenNatural.isNull()) {
            m_image1->setPixmap(QPixmap::fromImage(m_imagenNatural));
            m_image1->resize(m_imagenNatural.size());
        }
        // The picture's centre stays at (7200, centre) twips whatever its size.
        const double ancho = m_image1->width() * double(kTwipsPorPixel);
        const double alto = m_image1->height() * double(kTwipsPorPixel);
        const float izquierda = float(7200 - ancho / 2);
        const float arriba = float(m_config.centroImagenY - alto / 2);
        m_image1->move(int(std::lround(izquierda / kTwipsPorPixel)),
            int(std::lround(arriba / kTwipsPorPixel)));
        return;
    }

    const QSize tamano = m_imagenNatural.size() * (zoom / 100.0);
    m_image1->setPixmap(QPixmap::fromImage(
        m_imagenNatural.scaled(tamano, Qt::IgnoreAspectRatio, Qt::SmoothTransformation)));
    m_image1->resize(tamano);
    if (!m_zona) {
        m_zona = new QScrollArea(this);
        m_zona->setObjectName(QStringLiteral("ZonaImagen"));
        m_zona->setFrameShape(QFrame::NoFrame);
        m_zona->setAlignment(Qt::AlignCenter);
        m_zona->setFocusPolicy(Qt::StrongFocus);
        m_zona->viewport()->installEventFilter(this);
    }
    m_zona->setAccessibleName(m_image1->accessibleName());
    m_zona->setWidget(m_image1);

    // As large as the picture, and its scroll bars where it does not fit, within the free area.
    const QRect libre(
        QPoint(tw(kLibreIzquierda), tw(kLibreArriba)), QPoint(tw(kLibreDerecha), tw(kLibreAbajo)));
    const int barra = m_zona->style()->pixelMetric(QStyle::PM_ScrollBarExtent, nullptr, m_zona);
    QSize zona = tamano;
    for (int vuelta = 0; vuelta < 2; ++vuelta) {
        const bool sobraAncho = zona.width() > libre.width();
        const bool sobraAlto = zona.height() > libre.height();
        zona = tamano + QSize(sobraAlto ? barra : 0, sobraAncho ? barra : 0);
    }
    QRect rectangulo(QPoint(0, 0), zona.boundedTo(libre.size()));
    rectangulo.moveCenter(QPoint(tw(7200), tw(m_config.centroImagenY)));
    rectangulo.moveTop(
        std::clamp(rectangulo.top(), libre.top(), libre.bottom() + 1 - rectangulo.height()));
    rectangulo.moveLeft(
        std::clamp(rectangulo.left(), libre.left(), libre.right() + 1 - rectangulo.width()));
    m_zona->setGeometry(rectangulo);
    m_zona->lower();
    m_zona->show();
}

void FrmExamen::nombrarBotonPregunta(int pregunta, const QString &respuesta)
{
    m_botones[pregunta - 1]->setAccessibleName(respuesta.isEmpty()
            ? QStringLiteral("Pregunta %1, sin responder").arg(pregunta)
            : QStringLiteral("Pregunta %1, respuesta %2").arg(pregunta).arg(respuesta));
}

void FrmExamen::RegistrarRespuesta()
{
    const Asignatura a = m_config.asignatura;
    const int pregunta = preguntaDe(m_sesion, a);
    if (pregunta < 1 || pregunta > kPreguntas)
        return;
    for (int k = 0; k < 4; ++k) {
        if (m_opciones[k]->isChecked())
            respuestasDe(m_sesion, a)[pregunta] = QLatin1String(kLetras[k]);
    }
}

void FrmExamen::guardarAvance()
{
    // The answer is in memory whatever the disk does; the student hears once when the
    // record stops being kept, and once when it is kept again.
    resguardarRespuestas(m_entorno, m_sesion);
}

void FrmExamen::RecargarExamen()
{
    terminar(m_config.asignatura == Asignatura::Matematica ? Pantalla::ExamenMatematica
                                                           : Pantalla::ExamenLengua);
}

void FrmExamen::CmdSiguiente_Click()
{
    RegistrarRespuesta();
    guardarAvance();
    preguntaDe(m_sesion, m_config.asignatura) += 1;
    RecargarExamen();
}

void FrmExamen::CmdAnterior_Click()
{
    RegistrarRespuesta();
    guardarAvance();
    preguntaDe(m_sesion, m_config.asignatura) -= 1;
    RecargarExamen();
}

void FrmExamen::CmdPreg_Click(int indice)
{
    RegistrarRespuesta();
    guardarAvance();
    preguntaDe(m_sesion, m_config.asignatura) = qint16(indice + 1);
    RecargarExamen();
}

bool FrmExamen::GuardarRespuestas()
{
    const Resultado resultado = guardarFilaReporte(m_entorno, m_sesion, m_config.asignatura);
    if (resultado.ok()) {
        recuperacionTrasGuardar(m_entorno, m_sesion);
        return true;
    }
    m_entorno.mensajes.mostrar(textoGuardadoFallido(resultado), estilo::kCritico);
    return false;
}

void FrmExamen::CmdFinalizar_Click()
{
    RegistrarRespuesta();
    guardarAvance();
    const QString pregunta
        = textoConfirmacion(respuestasDe(m_sesion, m_config.asignatura), m_sesion.Materia);
    const int respuesta = m_entorno.mensajes.mostrar(pregunta, estilo::kConfirmarFinalizacion,
        QStringLiteral("MsgBox Demonstration"), QStringLiteral("DEMO.HLP"), 1000);
    if (respuesta != kRespuestaSi)
        return;
    // A save that failed keeps the exam open on the same question with every answer.
    if (!GuardarRespuestas())
        return;
    terminar(Pantalla::Menu);
}

void FrmExamen::CmdSalir_Click()
{
    terminar(Pantalla::Menu);
}
