#include "FrmLogin.h"

#include "Controles.h"
#include "Directorio.h"
#include "Entorno.h"
#include "Geometria.h"
#include "ModeloExamen.h"
#include "Module1.h"
#include "Recuperacion.h"
#include "Reporte.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>

namespace {

QLineEdit *cajaTexto(QWidget *padre, const char *nombre, Twips caja)
{
    auto *texto
        = crearControl<QLineEdit>(padre, { QLatin1String(nombre), {}, caja, fuenteSans(13.5), {} });
    texto->setAlignment(Qt::AlignCenter);
    return texto;
}

QComboBox *lista(QWidget *padre, const char *nombre, Twips caja, const QStringList &items)
{
    nombrarListasPorSuEtiqueta();
    auto *combo
        = crearControl<QComboBox>(padre, { QLatin1String(nombre), {}, caja, fuenteSans(12), {} });
    combo->setEditable(false);
    combo->addItems(items);
    return combo;
}

// A label, and for a screen reader the label of `control`.
void etiqueta(
    QWidget *padre, const char *nombre, const QString &texto, Twips caja, QWidget *control)
{
    auto *label = crearControl<QLabel>(
        padre, { QLatin1String(nombre), texto, caja, fuenteSans(9.75, true), {} });
    label->setBuddy(control);
}

// The character code a key carries, as the key filters receive it on the desktop the forms
// were designed for: printable characters, Backspace (8), Enter (13), Escape (27), and Ctrl
// with a letter as the control codes 1 to 26 (Ctrl+V is 22, Ctrl+X 24, Ctrl+Z 26). Keys that
// carry no character (Tab, arrows, Delete, Shift+Insert) are not filtered.
bool codigoDeTecla(const QKeyEvent *tecla, qint16 *codigo)
{
    switch (tecla->key()) {
    case Qt::Key_Backspace:
        *codigo = 8;
        return true;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        *codigo = 13;
        return true;
    case Qt::Key_Escape:
        *codigo = 27;
        return true;
    default:
        break;
    }
    const Qt::KeyboardModifiers modificadores
        = tecla->modifiers() & ~(Qt::KeypadModifier | Qt::ShiftModifier);
    if (modificadores == Qt::ControlModifier && tecla->key() >= Qt::Key_A
        && tecla->key() <= Qt::Key_Z) {
        *codigo = qint16(tecla->key() - Qt::Key_A + 1);
        return true;
    }
    if (modificadores != Qt::NoModifier)
        return false;
    const QString texto = tecla->text();
    if (texto.size() != 1 || texto.at(0).unicode() < 32 || texto.at(0).unicode() == 127)
        return false;
    *codigo = qint16(texto.at(0).unicode());
    return true;
}

} // namespace

FrmLogin::FrmLogin(Entorno &entorno, Sesion &sesion)
    : Formulario(QStringLiteral("FrmLogin"), QStringLiteral("Ingreso"), 12375, 3645)
    , m_entorno(entorno)
    , m_sesion(sesion)
{

    m_txtCodEmpresa = cajaTexto(this, "TxtCodEmpresa", { 120, 480, 2175, 495 });
    m_cmbTurno = lista(this, "CmbTurno", { 1680, 1440, 1815, 420 },
        { QStringLiteral("Seleccione"), QStringLiteral("MAÑANA"), QStringLiteral("TARDE"),
            QStringLiteral("NOCHE") });
    m_txtSeccion = cajaTexto(this, "TxtSeccion", { 3960, 1440, 855, 525 });
    m_cmbSexo = lista(this, "CmbSexo", { 6120, 1440, 1215, 420 },
        { QStringLiteral("Selec"), QStringLiteral("   M"), QStringLiteral("   F"),
            QStringLiteral("   X") });
    m_txtDNI = cajaTexto(this, "TxtDNI", { 7680, 1440, 2175, 495 });
    m_cmdAceptar = crearControl<Boton>(this,
        { QStringLiteral("CmdAceptar"), QStringLiteral("Aceptar"), { 3000, 2640, 1815, 615 },
            fuenteSans(12), 0x00C0FFC0 });
    m_cmdSalir = crearControl<Boton>(this,
        { QStringLiteral("CmdSalir"), QStringLiteral("Salir"), { 7320, 2640, 1815, 615 },
            fuenteSans(12), 0x0080C0FF });

    // A screen reader names each box after the label beside it.
    const std::pair<QWidget *, const char *> nombres[] = { { m_txtCodEmpresa, "Código de Empresa" },
        { m_cmbTurno, "Turno" }, { m_txtSeccion, "Sección" }, { m_cmbSexo, "Sexo" },
        { m_txtDNI, "Código de Alumno/a" } };
    for (const auto &[control, nombre] : nombres)
        control->setAccessibleName(QString::fromUtf8(nombre));

    m_txtEscuela = cajaTexto(this, "TxtEscuela", { 2400, 480, 9855, 480 });
    m_txtEscuela->setAccessibleName(QStringLiteral("Nombre del Establecimiento"));
    m_txtEscuela->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_txtEscuela->setEnabled(false);
    m_txtEscuela->setFocusPolicy(Qt::NoFocus);
    {
        QPalette paleta = m_txtEscuela->palette();
        paleta.setColor(QPalette::Disabled, QPalette::Base, colorVB(0x00E0E0E0));
        paleta.setColor(QPalette::Disabled, QPalette::Text, Qt::black);
        m_txtEscuela->setPalette(paleta);
    }

    etiqueta(this, "Label1", QStringLiteral("Código de Empresa"), { 120, 240, 2295, 255 },
        m_txtCodEmpresa);
    etiqueta(this, "Label2", QStringLiteral("Nombre del Establecimiento"), { 2520, 240, 3135, 255 },
        m_txtEscuela);
    etiqueta(this, "Label6", QStringLiteral("Turno"), { 1920, 1200, 735, 255 }, m_cmbTurno);
    etiqueta(this, "Label7", QStringLiteral("Sección"), { 3960, 1200, 975, 255 }, m_txtSeccion);
    etiqueta(this, "Label8", QStringLiteral("Sexo"), { 6120, 1200, 735, 255 }, m_cmbSexo);
    etiqueta(
        this, "Label3", QStringLiteral("Código de Alumno/a"), { 7680, 1200, 2175, 255 }, m_txtDNI);

    setTabOrder(m_txtCodEmpresa, m_cmbTurno);
    setTabOrder(m_cmbTurno, m_txtSeccion);
    setTabOrder(m_txtSeccion, m_cmbSexo);
    setTabOrder(m_cmbSexo, m_txtDNI);
    setTabOrder(m_txtDNI, m_cmdAceptar);
    setTabOrder(m_cmdAceptar, m_cmdSalir);
    m_txtCodEmpresa->setFocus();

    m_txtCodEmpresa->installEventFilter(this);
    m_txtSeccion->installEventFilter(this);
    m_txtDNI->installEventFilter(this);
    connect(m_cmdAceptar, &QPushButton::clicked, this, &FrmLogin::CmdAceptar_Click);
    connect(m_cmdSalir, &QPushButton::clicked, this, &FrmLogin::CmdSalir_Click);
}

void FrmLogin::cargar()
{
    quitarCerrar();
    m_cmbTurno->setCurrentIndex(0);
    m_cmbSexo->setCurrentIndex(0);
}

bool FrmLogin::eventFilter(QObject *objeto, QEvent *evento)
{
    if (objeto == m_txtCodEmpresa && evento->type() == QEvent::FocusOut)
        TxtCodEmpresa_LostFocus();

    if (evento->type() == QEvent::InputMethod)
        return filtrarComposicion(objeto, static_cast<QInputMethodEvent *>(evento));
    if (evento->type() != QEvent::KeyPress)
        return Formulario::eventFilter(objeto, evento);
    auto *tecla = static_cast<QKeyEvent *>(evento);
    qint16 codigo = 0;
    if (!codigoDeTecla(tecla, &codigo))
        return Formulario::eventFilter(objeto, evento);

    if (objeto == m_txtDNI) {
        FiltrarDigitos(codigo);
        return codigo == 0; // a discarded key never reaches the box
    }
    // The character turned into its capital; control codes (Ctrl+V pastes) pass unchanged.
    if ((objeto == m_txtCodEmpresa || objeto == m_txtSeccion) && codigo >= 32) {
        const QString texto = QChar(char16_t(codigo));
        const QString mayusculas = texto.toUpper();
        if (mayusculas != texto) {
            static_cast<QLineEdit *>(objeto)->insert(mayusculas);
            return true;
        }
    }
    return Formulario::eventFilter(objeto, evento);
}

// Letters composed with dead keys or an input method are typed letters too: they pass the
// same filters as keys do.
bool FrmLogin::filtrarComposicion(QObject *objeto, QInputMethodEvent *evento)
{
    const QString llegado = evento->commitString();
    QString filtrado;
    if (objeto == m_txtDNI) {
        for (const QChar c : llegado) {
            qint16 codigo = qint16(c.unicode());
            FiltrarDigitos(codigo);
            if (codigo != 0)
                filtrado += c;
        }
    } else if (objeto == m_txtCodEmpresa || objeto == m_txtSeccion) {
        filtrado = llegado.toUpper();
    } else {
        return false;
    }
    if (filtrado == llegado)
        return false;
    QInputMethodEvent filtradoEvento(evento->preeditString(), evento->attributes());
    filtradoEvento.setCommitString(
        filtrado, evento->replacementStart(), evento->replacementLength());
    QCoreApplication::sendEvent(objeto, &filtradoEvento);
    return true;
}

void FrmLogin::TxtCodEmpresa_LostFocus()
{
    if (Trim(m_txtCodEmpresa->text()).isEmpty()) {
        m_empresaInvalida = 1;
        return;
    }
    Validar_Empresa();
}

void FrmLogin::Validar_Empresa()
{
    m_empresaInvalida = 0;
    if (const auto nombre = buscarEstablecimiento(m_txtCodEmpresa->text())) {
        m_txtEscuela->setText(*nombre);
        return;
    }
    m_txtEscuela->setText(QString());
    m_empresaInvalida = 1;
}

void FrmLogin::CmdAceptar_Click()
{
    bool fallo = false;
    IMensajes &mensajes = m_entorno.mensajes;

    if (!Trim(m_txtCodEmpresa->text()).isEmpty() && m_empresaInvalida == 0
        && !Trim(m_txtEscuela->text()).isEmpty()) {
        m_sesion.CodEmpresa = Trim(m_txtCodEmpresa->text());
    } else {
        mensajes.mostrar(QStringLiteral("Ingrese el código de Empresa correctamente"));
        fallo = true;
    }
    m_sesion.NombreEscuela = Trim(m_txtEscuela->text());

    const QString sexo = Trim(m_cmbSexo->currentText());
    if (sexo != QLatin1String("Selec") && !Trim(m_txtDNI->text()).isEmpty()
        && dniAdmisible(m_txtDNI->text())) {
        if (sexo == QLatin1String("M"))
            m_sesion.Sexo = 1;
        if (sexo == QLatin1String("F"))
            m_sesion.Sexo = 2;
        if (sexo == QLatin1String("X"))
            m_sesion.Sexo = 3;
        m_sesion.DNI = m_txtDNI->text();
        m_sesion.CampoE.clear();
        m_sesion.CampoF.clear();
    } else {
        mensajes.mostrar(QStringLiteral("Ingrese Sexo, Código de Alumno/a correctamente"));
        fallo = true;
    }

    // The section becomes part of the workbook's file name, so one that could leave the
    // program folder or cannot stand in a file name is refused like an empty one.
    const QString turno = Trim(m_cmbTurno->currentText());
    if (turno != QLatin1String("Seleccione") && !Trim(m_txtSeccion->text()).isEmpty()
        && seccionAdmisible(m_txtSeccion->text())) {
        if (turno == QStringLiteral("MAÑANA"))
            m_sesion.Turno = QStringLiteral("M");
        if (turno == QLatin1String("TARDE"))
            m_sesion.Turno = QStringLiteral("T");
        if (turno == QLatin1String("NOCHE"))
            m_sesion.Turno = QStringLiteral("N");
        m_sesion.Seccion = m_txtSeccion->text();
    } else {
        mensajes.mostrar(QStringLiteral("Ingrese Turno y Sección correctamente"));
        fallo = true;
    }

    if (fallo)
        return;

    m_sesion.ModeloMat = Modelo_Matematica(m_sesion.DNI, m_entorno.reloj);
    m_sesion.ModeloLeng = Modelo_Lengua(m_sesion.DNI, m_entorno.reloj);
    Crear_Excel(m_entorno, m_sesion);
    Recuperar_Examen(m_entorno, m_sesion);
    terminar(Pantalla::Menu);
}

void FrmLogin::CmdSalir_Click()
{
    terminar(Pantalla::Fin);
}
