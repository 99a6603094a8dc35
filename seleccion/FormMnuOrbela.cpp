#include "FormMnuOrbela.h"

#include "Controles.h"
#include "Dibujos.h"
#include "Entorno.h"
#include "FrmCodigoAcceso.h"
#include "Module1.h"
#include "Recuperacion.h"

#include <QLabel>

FormMnuOrbela::FormMnuOrbela(Entorno &entorno, Sesion &sesion)
    : Formulario(QStringLiteral("FormMnuOrbela"), QStringLiteral("ORBELA"), 12585, 6930)
    , m_entorno(entorno)
    , m_sesion(sesion)
{

    m_cmdLengua = crearControl<Boton>(this,
        { QStringLiteral("CmdLengua"), QStringLiteral("LENGUA"), { 2760, 3000, 2295, 1335 },
            fuenteSans(13.5), {} });
    m_cmdMatematica = crearControl<Boton>(this,
        { QStringLiteral("CmdMatematica"), QStringLiteral("MATEMÁTICA"), { 7320, 3000, 2295, 1335 },
            fuenteSans(13.5), {} });
    m_picture1 = crearControl<QLabel>(
        this, { QStringLiteral("Picture1"), {}, { 3120, 360, 5895, 1455 }, {}, {} });
    m_picture1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_picture1->setFocusPolicy(Qt::TabFocus);
    m_picture1->setPixmap(dibujarBannerMenu());
    m_picture1->setAccessibleName(QStringLiteral("ORBELA - Evaluación de Lengua y Matemática"));
    m_cmdSalir = crearControl<Boton>(this,
        { QStringLiteral("CmdSalir"), QStringLiteral("Salir"), { 8760, 5640, 1935, 1095 },
            fuenteSans(18), {} });

    setTabOrder(m_cmdLengua, m_cmdMatematica);
    setTabOrder(m_cmdMatematica, m_picture1);
    setTabOrder(m_picture1, m_cmdSalir);
    m_cmdLengua->setFocus();

    connect(m_cmdLengua, &QPushButton::clicked, this, [this] { abrirExamen(Asignatura::Lengua); });
    connect(m_cmdMatematica, &QPushButton::clicked, this,
        [this] { abrirExamen(Asignatura::Matematica); });
    connect(m_cmdSalir, &QPushButton::clicked, this, &FormMnuOrbela::CmdSalir_Click);
}

bool FormMnuOrbela::EstadoDeArchivo(const QString &ruta) const
{
    return m_entorno.archivos.existeArchivo(ruta);
}

Restos FormMnuOrbela::borrarContenido(Asignatura asignatura)
{
    return borrarContenidoFinalizado(m_entorno.archivos, m_entorno.carpetaPrograma, asignatura,
        [this](const QString &ruta) { return EstadoDeArchivo(ruta); });
}

void FormMnuOrbela::cargar()
{
    quitarCerrar();
    Restos restos;
    if (m_sesion.FinalizadoLeng == 1) {
        m_cmdLengua->setEnabled(false);
        restos.sumar(borrarContenido(Asignatura::Lengua));
    }
    if (m_sesion.FinalizadoMat == 1) {
        m_cmdMatematica->setEnabled(false);
        restos.sumar(borrarContenido(Asignatura::Matematica));
    }
    if (!restos.ok()) {
        // The rest was cleared; the supervisor has to remove what is left by hand.
        m_entorno.mensajes.mostrar(
            QStringLiteral("No se pudo borrar por completo el contenido del examen finalizado "
                           "(%1 archivo(s), por ejemplo %2: %3). Avise al supervisor.")
                .arg(restos.archivos.size())
                .arg(restos.archivos.first(), restos.motivo.texto()));
    }
}

void FormMnuOrbela::abrirExamen(Asignatura asignatura)
{
    const QString primera
        = rutaPregunta(m_entorno.carpetaPrograma, asignatura, modeloDe(m_sesion, asignatura), 1);
    if (!m_entorno.archivos.existeArchivoOrdinario(primera)) {
        m_entorno.mensajes.mostrar(QStringLiteral("Examen no disponible..."));
        return;
    }
    m_sesion.CodigoAcceso.clear();
    {
        FrmCodigoAcceso dialogo(m_sesion, this);
        dialogo.exec();
    }
    if (m_sesion.CodigoAcceso != codigoAcceso(asignatura)) {
        m_entorno.mensajes.mostrar(QStringLiteral("Código incorrecto...!"));
        return;
    }
    m_sesion.Materia = nombreMateria(asignatura);
    preguntaDe(m_sesion, asignatura) = 1;
    // The models and the answers so far are on disk before the exam shows.
    resguardarRespuestas(m_entorno, m_sesion);
    m_entorno.zoomPregunta = 100;
    terminar(
        asignatura == Asignatura::Lengua ? Pantalla::ExamenLengua : Pantalla::ExamenMatematica);
}

void FormMnuOrbela::CmdSalir_Click()
{
    // An explicit end of the run: nothing of it outlives the run.
    borrarRecuperacion(m_entorno, m_sesion);
    terminar(Pantalla::Fin);
}
