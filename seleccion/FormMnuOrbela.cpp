#include "FormMnuOrbela.h"

#include "Entorno.h"
#include "FrmCodigoAcceso.h"
#include "Geometria.h"
#include "Module1.h"

#include <QLabel>
#include <QLinearGradient>
#include <QPainter>

QPixmap dibujarBannerMenu()
{
    QPixmap banner(386, 89);
    QPainter p(&banner);
    QLinearGradient degradado(0, 0, 0, 89);
    degradado.setColorAt(0, QColor(0, 70, 140));
    degradado.setColorAt(1, QColor(0, 130, 200));
    p.fillRect(banner.rect(), degradado);
    p.setPen(QColor(255, 210, 60));
    p.drawRect(banner.rect().adjusted(3, 3, -4, -4));
    QFont titulo(QStringLiteral("Calibri"));
    titulo.setPixelSize(46);
    titulo.setBold(true);
    p.setFont(titulo);
    p.setPen(Qt::white);
    p.drawText(QRect(0, 4, 386, 56), Qt::AlignCenter, QStringLiteral("ORBELA"));
    QFont sub(QStringLiteral("Calibri"));
    sub.setPixelSize(15);
    p.setFont(sub);
    p.drawText(QRect(0, 58, 386, 24), Qt::AlignCenter, QStringLiteral("Evaluación de Lengua y Matemática"));
    return banner;
}

namespace {
Boton *botonMenu(QWidget *padre, const char *nombre, const QString &texto, QRect geometria,
                 double puntos)
{
    auto *boton = new Boton(texto, padre);
    boton->setObjectName(QLatin1String(nombre));
    boton->setGeometry(geometria);
    boton->setFont(fuenteSans(puntos));
    return boton;
}
} // namespace

FormMnuOrbela::FormMnuOrbela(Entorno &entorno, Sesion &sesion)
    : m_entorno(entorno)
    , m_sesion(sesion)
{
    setObjectName(QStringLiteral("FormMnuOrbela"));
    setWindowTitle(QStringLiteral("ORBELA"));
    fijarAreaCliente(12585, 6930);

    m_cmdLengua = botonMenu(this, "CmdLengua", QStringLiteral("LENGUA"),
                            twRect(2760, 3000, 2295, 1335), 13.5);
    m_cmdMatematica = botonMenu(this, "CmdMatematica", QStringLiteral("MATEMÁTICA"),
                                twRect(7320, 3000, 2295, 1335), 13.5);
    m_picture1 = new QLabel(this);
    m_picture1->setObjectName(QStringLiteral("Picture1"));
    m_picture1->setGeometry(twRect(3120, 360, 5895, 1455));
    m_picture1->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_picture1->setPixmap(dibujarBannerMenu());
    m_cmdSalir = botonMenu(this, "CmdSalir", QStringLiteral("Salir"),
                           twRect(8760, 5640, 1935, 1095), 18);

    setTabOrder(m_cmdLengua, m_cmdMatematica);
    setTabOrder(m_cmdMatematica, m_cmdSalir);
    m_cmdLengua->setFocus();

    connect(m_cmdLengua, &QPushButton::clicked, this, [this] { abrirExamen(Asignatura::Lengua); });
    connect(m_cmdMatematica, &QPushButton::clicked, this,
            [this] { abrirExamen(Asignatura::Matematica); });
    connect(m_cmdSalir, &QPushButton::clicked, this, [this] { terminar(Pantalla::Fin); });
}

QString FormMnuOrbela::codigoDe(Asignatura asignatura)
{
    return asignatura == Asignatura::Lengua ? QStringLiteral("2813") : QStringLiteral("4592");
}

bool FormMnuOrbela::EstadoDeArchivo(const QString &ruta) const
{
    return m_entorno.archivos.existeArchivo(ruta);
}

QStringList FormMnuOrbela::borrarContenido(Asignatura asignatura)
{
    // Through a linked content folder every deletion would land in whatever it points at,
    // such as the master copy: nothing is deleted and the supervisor is told.
    const QString imagenes = carpetaImagenes(m_entorno.carpetaPrograma);
    if (m_entorno.archivos.esEnlace(imagenes))
        return {imagenes};
    QStringList fallidos;
    for (int m = 1; m <= kModelos; ++m) {
        if (EstadoDeArchivo(rutaPregunta(m_entorno.carpetaPrograma, asignatura, m, 1)))
            fallidos << borrarArchivosDeCarpeta(
                m_entorno.archivos, carpetaModelo(m_entorno.carpetaPrograma, asignatura, m));
    }
    return fallidos;
}

void FormMnuOrbela::cargar()
{
    quitarCerrar();
    QStringList fallidos;
    if (m_sesion.FinalizadoLeng == 1) {
        m_cmdLengua->setEnabled(false);
        fallidos << borrarContenido(Asignatura::Lengua);
    }
    if (m_sesion.FinalizadoMat == 1) {
        m_cmdMatematica->setEnabled(false);
        fallidos << borrarContenido(Asignatura::Matematica);
    }
    if (!fallidos.isEmpty()) {
        // The rest was cleared; the supervisor has to remove what is left by hand.
        m_entorno.mensajes.mostrar(
            QStringLiteral("No se pudo borrar por completo el contenido del examen finalizado "
                           "(%1 archivo(s), por ejemplo %2). Avise al supervisor.")
                .arg(fallidos.size())
                .arg(fallidos.first()));
    }
}

void FormMnuOrbela::abrirExamen(Asignatura asignatura)
{
    const QString primera =
        rutaPregunta(m_entorno.carpetaPrograma, asignatura, modeloDe(m_sesion, asignatura), 1);
    if (!m_entorno.archivos.existeArchivoOrdinario(primera)) {
        m_entorno.mensajes.mostrar(QStringLiteral("Examen no disponible..."));
        return;
    }
    m_sesion.CodigoAcceso.clear();
    {
        FrmCodigoAcceso dialogo(m_sesion, this);
        dialogo.exec();
    }
    if (m_sesion.CodigoAcceso != codigoDe(asignatura)) {
        m_entorno.mensajes.mostrar(QStringLiteral("Código incorrecto...!"));
        return;
    }
    m_sesion.Materia = nombreMateria(asignatura);
    preguntaDe(m_sesion, asignatura) = 1;
    terminar(asignatura == Asignatura::Lengua ? Pantalla::ExamenLengua : Pantalla::ExamenMatematica);
}
