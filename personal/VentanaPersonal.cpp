#include "VentanaPersonal.h"

#include "Claves.h"
#include "Disco.h"
#include "Entradas.h"
#include "Llaves.h"
#include "Preparacion.h"
#include "Recopilacion.h"
#include "Verificacion.h"
#include "VisorPdf.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QFileInfo>
#include <QGridLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QLocale>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QSettings>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTableWidget>
#include <QThread>
#include <QVBoxLayout>

#include <optional>

namespace {

const QLocale kLocal(QLocale::Spanish, QLocale::Argentina);

QSettings preferencias()
{
    return QSettings(QStringLiteral("ORBELA"), QStringLiteral("personal"));
}

QString nativa(const QString &ruta)
{
    return QDir::toNativeSeparators(ruta);
}

// A path field with its label (whose letter reaches the field) and an "Elegir…" button.
QLineEdit *campoDeRuta(QGridLayout *grilla, int fila, const QString &etiqueta, QWidget *padre,
    std::function<QString(QWidget *)> elegir)
{
    auto *titulo = new QLabel(etiqueta, padre);
    auto *campo = new QLineEdit(padre);
    titulo->setBuddy(campo);
    auto *boton = new QPushButton(QStringLiteral("Elegir…"), padre);
    QObject::connect(boton, &QPushButton::clicked, padre, [campo, elegir, padre] {
        const QString elegida = elegir(padre);
        if (!elegida.isEmpty())
            campo->setText(nativa(elegida));
    });
    grilla->addWidget(titulo, fila, 0);
    grilla->addWidget(campo, fila, 1);
    grilla->addWidget(boton, fila, 2);
    return campo;
}

std::function<QString(QWidget *)> elegirCarpeta(const QString &titulo)
{
    return [titulo](QWidget *padre) { return QFileDialog::getExistingDirectory(padre, titulo); };
}

// The staff's register of stations: a file that may not exist yet.
QLineEdit *campoDeRegistro(QGridLayout *grilla, int fila, QWidget *padre)
{
    QLineEdit *campo = campoDeRuta(
        grilla, fila, QStringLiteral("Re&gistro de estaciones"), padre, [](QWidget *p) {
            return QFileDialog::getSaveFileName(p, QStringLiteral("Registro de estaciones"), {},
                QStringLiteral("Registro (*.txt)"), nullptr, QFileDialog::DontConfirmOverwrite);
        });
    campo->setObjectName(QStringLiteral("Registro"));
    return campo;
}

QLabel *etiquetaDeError(QWidget *padre)
{
    auto *error = new QLabel(padre);
    error->setWordWrap(true);
    error->setTextInteractionFlags(Qt::TextSelectableByMouse);
    error->setStyleSheet(QStringLiteral("color: #a40000;"));
    error->hide();
    return error;
}

// "…/Mat_Mod1_P3.jpg: falta la imagen" → the path and the reason.
std::pair<QString, QString> rutaYMotivo(const QString &linea)
{
    const qsizetype barra
        = std::max(linea.lastIndexOf(QLatin1Char('/')), linea.lastIndexOf(QLatin1Char('\\')));
    const qsizetype separador = linea.indexOf(QStringLiteral(": "), std::max<qsizetype>(barra, 0));
    if (separador < 0)
        return { QString(), linea };
    return { linea.left(separador), linea.mid(separador + 2) };
}

QTableWidget *tabla(const QStringList &titulos, QWidget *padre)
{
    auto *t = new QTableWidget(0, int(titulos.size()), padre);
    t->setHorizontalHeaderLabels(titulos);
    t->horizontalHeader()->setStretchLastSection(true);
    t->horizontalHeader()->setDefaultSectionSize(420);
    t->verticalHeader()->hide();
    t->setEditTriggers(QAbstractItemView::NoEditTriggers);
    t->setSelectionBehavior(QAbstractItemView::SelectRows);
    t->setSortingEnabled(true);
    return t;
}

void llenar(QTableWidget *t, const QList<std::pair<QString, QString>> &filas)
{
    t->setSortingEnabled(false);
    t->setRowCount(int(filas.size()));
    for (int i = 0; i < filas.size(); ++i) {
        t->setItem(i, 0, new QTableWidgetItem(filas[i].first));
        t->setItem(i, 1, new QTableWidgetItem(filas[i].second));
    }
    t->setSortingEnabled(true);
}

QString probarConEstePrograma(const QString &ruta)
{
    return probarDocumentoAparte(QCoreApplication::applicationFilePath(), ruta);
}

// A page that scrolls when the window is smaller than it; the focus, moved by the keyboard,
// brings the control it reaches into view.
QWidget *conDesplazamiento(QWidget *pagina)
{
    auto *area = new QScrollArea;
    area->setObjectName(pagina->objectName() + QStringLiteral("Desplazable"));
    area->setFrameShape(QFrame::NoFrame);
    area->setWidgetResizable(true);
    area->setWidget(pagina);
    return area;
}

} // namespace

VentanaPersonal::VentanaPersonal(const QString &carpetaPrograma, QWidget *padre)
    : QWidget(padre)
    , m_carpetaPrograma(carpetaPrograma)
    , m_pestanas(new QTabWidget(this))
    , m_visor(new VisorPdf)
{
    setObjectName(QStringLiteral("VentanaPersonal"));
    // The documents it opens close with the window.
    m_visor->setParent(this);
    m_visor->setObjectName(QStringLiteral("Visor"));
    setWindowTitle(QStringLiteral("Herramientas del personal"));
    QFont letra = font();
    letra.setPointSizeF(11);
    setFont(letra);
    m_pestanas->addTab(conDesplazamiento(paginaPreparar()), QStringLiteral("&Preparar"));
    m_pestanas->addTab(conDesplazamiento(paginaVerificar()), QStringLiteral("&Verificar"));
    m_pestanas->addTab(conDesplazamiento(paginaRecopilar()), QStringLiteral("Rec&opilar"));
    // Only the page on screen answers its letters: two pages may use the same one.
    auto soloLaVisible = [this](int actual) {
        for (int i = 0; i < m_pestanas->count(); ++i)
            m_pestanas->widget(i)->setEnabled(i == actual);
    };
    connect(m_pestanas, &QTabWidget::currentChanged, this, soloLaVisible);
    soloLaVisible(0);
    auto *columna = new QVBoxLayout(this);
    columna->addWidget(m_pestanas);
    // Never larger than the screen, frame included: on a netbook's 1024 × 600 the pages scroll.
    QSize tamano(980, 700);
    if (const QScreen *pantalla = screen())
        tamano = tamano.boundedTo(pantalla->availableGeometry().size() - QSize(16, 48));
    resize(tamano);

    QSettings ajustes = preferencias();
    m_maestra->setText(ajustes.value(QStringLiteral("maestra")).toString());
    m_estacion->setText(ajustes.value(QStringLiteral("estacion")).toString());
    m_carpetaVerificar->setText(ajustes.value(QStringLiteral("verificar")).toString());
    for (const QString &carpeta : ajustes.value(QStringLiteral("estaciones")).toStringList())
        agregarEstacion(carpeta);
    m_claves->setText(ajustes.value(QStringLiteral("claves")).toString());
    // One register for both pages: what is typed in one shows in the other.
    m_registro->setText(ajustes.value(QStringLiteral("registro")).toString());
    m_registroRecopilar->setText(m_registro->text());
    connect(m_registro, &QLineEdit::textEdited, m_registroRecopilar, &QLineEdit::setText);
    connect(m_registroRecopilar, &QLineEdit::textEdited, m_registro, &QLineEdit::setText);
    const QString documentos = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    m_salida->setText(ajustes
                          .value(QStringLiteral("salida"),
                              nativa(QDir(documentos).filePath(QStringLiteral("resultados.xlsx"))))
                          .toString());
    // A collection cut short while it placed its outputs is finished before the staff look.
    bool completada = false;
    if (completarRecopilacionInterrumpida(QDir::fromNativeSeparators(m_salida->text()), &completada)
            .ok()
        && completada) {
        m_resumenRecopilar->setText(
            QStringLiteral("Se terminó de colocar la recopilación anterior, que se había "
                           "interrumpido: %1 y los archivos que la acompañan son los nuevos.")
                .arg(m_salida->text()));
        m_resumenRecopilar->setStyleSheet(QString());
        m_resumenRecopilar->show();
    }
}

VentanaPersonal::~VentanaPersonal()
{
    m_cancelar = true;
    if (m_hilo)
        m_hilo->wait();
}

bool VentanaPersonal::ocupada() const
{
    return m_hilo != nullptr;
}

QWidget *VentanaPersonal::paginaPreparar()
{
    auto *pagina = new QWidget;
    auto *grilla = new QGridLayout;
    auto *explicacion = new QLabel(
        QStringLiteral(
            "Copia el contenido de la carpeta maestra a la estación (vuelven las imágenes "
            "que borró una materia terminada), pone el programa de la estación si falta "
            "y verifica el resultado. Con el registro de estaciones, la estación recibe su "
            "llave: sus resultados llevarán sello y la recopilación los verificará. Los libros "
            "de los alumnos no se tocan."),
        pagina);
    explicacion->setWordWrap(true);
    m_maestra = campoDeRuta(grilla, 0, QStringLiteral("Carpeta &maestra"), pagina,
        elegirCarpeta(QStringLiteral("Carpeta maestra")));
    m_estacion = campoDeRuta(grilla, 1, QStringLiteral("Carpeta de la es&tación"), pagina,
        elegirCarpeta(QStringLiteral("Carpeta de la estación")));
    auto *tituloNombre = new QLabel(QStringLiteral("&Nombre de la estación"), pagina);
    m_nombreEstacion = new QLineEdit(pagina);
    m_nombreEstacion->setObjectName(QStringLiteral("NombreEstacion"));
    m_nombreEstacion->setPlaceholderText(
        QStringLiteral("optativo: si no lo escribe, el de esta computadora y la carpeta"));
    tituloNombre->setBuddy(m_nombreEstacion);
    grilla->addWidget(tituloNombre, 2, 0);
    grilla->addWidget(m_nombreEstacion, 2, 1);
    m_registro = campoDeRegistro(grilla, 3, pagina);
    m_copiar = new QPushButton(QStringLiteral("&Copiar y verificar"), pagina);
    m_errorPreparar = etiquetaDeError(pagina);
    m_resultadoPreparar = new QPlainTextEdit(pagina);
    m_resultadoPreparar->setObjectName(QStringLiteral("ResultadoPreparar"));
    m_resultadoPreparar->setReadOnly(true);
    auto *columna = new QVBoxLayout(pagina);
    columna->addWidget(explicacion);
    columna->addLayout(grilla);
    columna->addWidget(m_copiar, 0, Qt::AlignLeft);
    columna->addWidget(m_errorPreparar);
    columna->addWidget(m_resultadoPreparar, 1);
    connect(m_copiar, &QPushButton::clicked, this, &VentanaPersonal::preparar);
    return pagina;
}

QWidget *VentanaPersonal::paginaVerificar()
{
    auto *pagina = new QWidget;
    auto *grilla = new QGridLayout;
    m_carpetaVerificar = campoDeRuta(grilla, 0, QStringLiteral("Carpeta de la est&ación"), pagina,
        elegirCarpeta(QStringLiteral("Carpeta de la estación")));
    m_comprobar = new QPushButton(QStringLiteral("Co&mprobar"), pagina);
    auto *copiarLista = new QPushButton(QStringLiteral("Copiar"), pagina);
    m_resumenVerificar = new QLabel(pagina);
    m_resumenVerificar->setObjectName(QStringLiteral("ResumenVerificar"));
    m_resumenVerificar->setWordWrap(true);
    m_problemas = tabla({ QStringLiteral("Problema"), QStringLiteral("Ruta") }, pagina);
    m_problemas->setObjectName(QStringLiteral("Problemas"));
    auto *botones = new QHBoxLayout;
    botones->addWidget(m_comprobar);
    botones->addWidget(copiarLista);
    botones->addStretch();
    auto *columna = new QVBoxLayout(pagina);
    columna->addLayout(grilla);
    columna->addLayout(botones);
    columna->addWidget(m_resumenVerificar);
    columna->addWidget(m_problemas, 1);
    connect(m_comprobar, &QPushButton::clicked, this, &VentanaPersonal::verificar);
    connect(m_carpetaVerificar, &QLineEdit::returnPressed, this, &VentanaPersonal::verificar);
    connect(copiarLista, &QPushButton::clicked, this, [this] {
        QStringList lineas;
        for (int i = 0; i < m_problemas->rowCount(); ++i)
            lineas << m_problemas->item(i, 0)->text() + QLatin1Char('\t')
                    + m_problemas->item(i, 1)->text();
        lineas << m_resumenVerificar->text();
        QGuiApplication::clipboard()->setText(lineas.join(QLatin1Char('\n')));
    });
    return pagina;
}

// The stations to gather, in the first two rows of the page's grid: a folder typed or
// chosen, the list (folders may be dropped on it) and the button that takes one out.
void VentanaPersonal::listaDeEstaciones(QGridLayout *grilla, QWidget *pagina)
{
    auto *tituloEstacion = new QLabel(QStringLiteral("Carpeta de una &estación"), pagina);
    m_nuevaEstacion = new QLineEdit(pagina);
    m_nuevaEstacion->setPlaceholderText(
        QStringLiteral("escriba la carpeta y pulse Intro, o arrástrela a la lista"));
    tituloEstacion->setBuddy(m_nuevaEstacion);
    auto *agregar = new QPushButton(QStringLiteral("Agregar…"), pagina);
    grilla->addWidget(tituloEstacion, 0, 0);
    grilla->addWidget(m_nuevaEstacion, 0, 1);
    grilla->addWidget(agregar, 0, 2);
    m_estaciones = new QListWidget(pagina);
    m_estaciones->setObjectName(QStringLiteral("Estaciones"));
    m_estaciones->setAcceptDrops(true);
    m_estaciones->viewport()->installEventFilter(this);
    m_estaciones->setMaximumHeight(120);
    auto *quitar = new QPushButton(QStringLiteral("&Quitar"), pagina);
    grilla->addWidget(m_estaciones, 1, 1);
    grilla->addWidget(quitar, 1, 2, Qt::AlignTop);

    connect(m_nuevaEstacion, &QLineEdit::returnPressed, this, [this] {
        agregarEstacion(m_nuevaEstacion->text().trimmed());
        m_nuevaEstacion->clear();
    });
    connect(agregar, &QPushButton::clicked, this, [this] {
        agregarEstacion(
            QFileDialog::getExistingDirectory(this, QStringLiteral("Carpeta de una estación")));
    });
    connect(
        quitar, &QPushButton::clicked, this, [this] { qDeleteAll(m_estaciones->selectedItems()); });
}

QWidget *VentanaPersonal::paginaRecopilar()
{
    auto *pagina = new QWidget;
    auto *grilla = new QGridLayout;
    listaDeEstaciones(grilla, pagina);
    m_claves = campoDeRuta(
        grilla, 2, QStringLiteral("&Clave de respuestas"), pagina, [](QWidget *padre) {
            return QFileDialog::getOpenFileName(padre, QStringLiteral("Clave de respuestas"), {},
                QStringLiteral("Libros (*.xlsx)"));
        });
    m_claves->setPlaceholderText(QStringLiteral("optativa: sin ella no hay puntajes ni informe"));
    m_registroRecopilar = campoDeRegistro(grilla, 3, pagina);
    m_registroRecopilar->setPlaceholderText(
        QStringLiteral("optativo: sin él no se verifican los sellos"));
    m_salida = campoDeRuta(
        grilla, 4, QStringLiteral("Libro de &salida"), pagina, [this](QWidget *padre) {
            return QFileDialog::getSaveFileName(padre, QStringLiteral("Libro de salida"),
                m_salida->text(), QStringLiteral("Libros (*.xlsx)"));
        });
    m_recopilar = new QPushButton(QStringLiteral("&Recopilar"), pagina);
    m_botonCancelar = new QPushButton(QStringLiteral("Ca&ncelar"), pagina);
    m_botonCancelar->setObjectName(QStringLiteral("Cancelar"));
    m_botonCancelar->setEnabled(false);
    m_progreso = new QProgressBar(pagina);
    m_progreso->setObjectName(QStringLiteral("Progreso"));
    m_progreso->setFormat(QString());
    m_progreso->setTextVisible(true);
    m_tiempo = new QLabel(pagina);
    m_resumenRecopilar = etiquetaDeError(pagina);
    m_resumenRecopilar->setObjectName(QStringLiteral("ResumenRecopilar"));
    m_omitidos = tabla({ QStringLiteral("Libro"), QStringLiteral("Motivo") }, pagina);
    m_omitidos->setObjectName(QStringLiteral("Omitidos"));
    m_abrirInforme = new QPushButton(QStringLiteral("Abrir el &informe"), pagina);
    m_abrirInforme->hide();
    auto *botones = new QHBoxLayout;
    botones->addWidget(m_recopilar);
    botones->addWidget(m_botonCancelar);
    botones->addWidget(m_progreso, 1);
    botones->addWidget(m_tiempo);
    auto *columna = new QVBoxLayout(pagina);
    columna->addLayout(grilla);
    columna->addLayout(botones);
    columna->addWidget(m_resumenRecopilar);
    columna->addWidget(m_omitidos, 1);
    columna->addWidget(m_abrirInforme, 0, Qt::AlignLeft);

    connect(m_recopilar, &QPushButton::clicked, this, &VentanaPersonal::recopilar);
    connect(m_botonCancelar, &QPushButton::clicked, this, [this] {
        m_cancelar = true;
        m_tiempo->setText(QStringLiteral("cancelando…"));
    });
    connect(m_abrirInforme, &QPushButton::clicked, this, [this] { m_visor->abrir(m_informe); });
    return pagina;
}

void VentanaPersonal::agregarEstacion(const QString &carpeta)
{
    if (carpeta.isEmpty())
        return;
    const QString nueva = nativa(carpeta);
    if (m_estaciones->findItems(nueva, Qt::MatchExactly).isEmpty())
        m_estaciones->addItem(nueva);
}

bool VentanaPersonal::eventFilter(QObject *objeto, QEvent *evento)
{
    // Folders dropped onto the list of stations.
    if (objeto == m_estaciones->viewport()
        && (evento->type() == QEvent::DragEnter || evento->type() == QEvent::DragMove)) {
        auto *arrastre = static_cast<QDragMoveEvent *>(evento);
        if (arrastre->mimeData()->hasUrls())
            arrastre->acceptProposedAction();
        return true;
    }
    if (objeto == m_estaciones->viewport() && evento->type() == QEvent::Drop) {
        auto *soltado = static_cast<QDropEvent *>(evento);
        for (const QUrl &url : soltado->mimeData()->urls()) {
            if (url.isLocalFile() && QFileInfo(url.toLocalFile()).isDir())
                agregarEstacion(url.toLocalFile());
        }
        soltado->acceptProposedAction();
        return true;
    }
    return QWidget::eventFilter(objeto, evento);
}

void VentanaPersonal::enSegundoPlano(
    std::function<void()> trabajo, std::function<void()> alTerminar)
{
    guardarPreferencias();
    for (QPushButton *boton : { m_copiar, m_comprobar, m_recopilar })
        boton->setEnabled(false);
    m_cancelar = false;
    m_hilo = QThread::create(std::move(trabajo));
    connect(m_hilo, &QThread::finished, this, [this, alTerminar] {
        m_hilo->deleteLater();
        m_hilo = nullptr;
        for (QPushButton *boton : { m_copiar, m_comprobar, m_recopilar })
            boton->setEnabled(true);
        m_botonCancelar->setEnabled(false);
        alTerminar();
    });
    m_hilo->start();
}

void VentanaPersonal::mostrarError(QLabel *donde, const QString &frase, const QString &detalle)
{
    donde->setStyleSheet(QStringLiteral("color: #a40000;"));
    donde->setText(
        detalle.isEmpty() ? frase : frase + QStringLiteral("\n\nDetalle técnico: ") + detalle);
    donde->show();
}

void VentanaPersonal::guardarPreferencias() const
{
    QSettings ajustes = preferencias();
    ajustes.setValue(QStringLiteral("maestra"), m_maestra->text());
    ajustes.setValue(QStringLiteral("estacion"), m_estacion->text());
    ajustes.setValue(QStringLiteral("verificar"), m_carpetaVerificar->text());
    QStringList estaciones;
    for (int i = 0; i < m_estaciones->count(); ++i)
        estaciones << m_estaciones->item(i)->text();
    ajustes.setValue(QStringLiteral("estaciones"), estaciones);
    ajustes.setValue(QStringLiteral("claves"), m_claves->text());
    ajustes.setValue(QStringLiteral("registro"), m_registro->text());
    ajustes.setValue(QStringLiteral("salida"), m_salida->text());
}

bool VentanaPersonal::confirmarCopiaConLibros(const QString &estacion)
{
    const int libros = int(
        QDir(estacion).entryList({ QStringLiteral("Apl Examen - *.xlsx") }, QDir::Files).size());
    if (libros == 0)
        return true;
    QMessageBox pregunta(QMessageBox::Question, windowTitle(),
        QStringLiteral(
            "La estación tiene %1 %2 de alumnos. La copia no borra ni cambia ningún libro, "
            "pero ¿ya los recopiló? ¿Sigue con la copia?")
            .arg(libros)
            .arg(libros == 1 ? QStringLiteral("libro") : QStringLiteral("libros")),
        QMessageBox::NoButton, this);
    QPushButton *si = pregunta.addButton(QStringLiteral("&Sí"), QMessageBox::YesRole);
    QPushButton *no = pregunta.addButton(QStringLiteral("&No"), QMessageBox::NoRole);
    pregunta.setDefaultButton(no);
    pregunta.exec();
    return pregunta.clickedButton() == si;
}

void VentanaPersonal::preparar()
{
    m_errorPreparar->hide();
    const QString maestra = QDir::fromNativeSeparators(m_maestra->text().trimmed());
    const QString estacion = QDir::fromNativeSeparators(m_estacion->text().trimmed());
    if (const auto motivo = motivoParaNoPreparar(maestra, estacion))
        return mostrarError(m_errorPreparar, motivo->first, motivo->second);
    const Preparacion como { m_nombreEstacion->text().trimmed().isEmpty()
            ? nombrePorOmision(estacion)
            : m_nombreEstacion->text().trimmed(),
        QDir::fromNativeSeparators(m_registro->text().trimmed()), m_carpetaPrograma,
        probarConEstePrograma };
    if (!como.registro.isEmpty() && !nombreDeEstacionValido(como.nombre))
        return mostrarError(m_errorPreparar,
            QStringLiteral("El nombre de la estación no puede tener tabulaciones ni saltos de "
                           "línea, ni más de 80 letras."),
            como.nombre);
    if (!confirmarCopiaConLibros(estacion))
        return;
    m_resultadoPreparar->setPlainText(QStringLiteral("Copiando…"));
    auto resultado = std::make_shared<InformePreparacion>();
    enSegundoPlano([maestra, estacion, como,
                       resultado] { *resultado = prepararEstacion(maestra, estacion, como); },
        [this, resultado] {
            m_resultadoPreparar->setPlainText(resultado->lineas.join(QLatin1Char('\n')));
        });
}

void VentanaPersonal::verificar()
{
    if (ocupada())
        return;
    const QString carpeta = QDir::fromNativeSeparators(m_carpetaVerificar->text().trimmed());
    if (carpeta.isEmpty() || !QFileInfo(carpeta).isDir()) {
        m_resumenVerificar->setText(QStringLiteral("No se encuentra la carpeta de la estación."));
        return;
    }
    m_resumenVerificar->setText(QStringLiteral("Verificando…"));
    auto informe = std::make_shared<InformeContenido>();
    enSegundoPlano(
        [carpeta, informe] { *informe = verificarContenido(carpeta, probarConEstePrograma); },
        [this, informe] {
            QList<std::pair<QString, QString>> filas;
            for (const QString &problema : std::as_const(informe->problemas)) {
                const auto [ruta, motivo] = rutaYMotivo(problema);
                filas.append({ motivo, nativa(ruta) });
            }
            for (const QString &aviso : std::as_const(informe->avisos)) {
                const auto [ruta, motivo] = rutaYMotivo(aviso);
                filas.append({ QStringLiteral("Aviso: ") + motivo, nativa(ruta) });
            }
            llenar(m_problemas, filas);
            const QString avisos = informe->avisos.isEmpty()
                ? QString()
                : QStringLiteral(" Aviso: %1 modelo(s) con imágenes sin descripción para el "
                                 "lector de pantalla; un alumno ciego no puede rendirlos.")
                      .arg(informe->avisos.size());
            m_resumenVerificar->setText((informe->correcto() ? QStringLiteral("Sin problemas: ")
                                                             : QStringLiteral("Hay problemas: "))
                + informe->resumen() + avisos);
        });
}

namespace {

// What a collection gives back to the window, once it has ended.
struct Recogido {
    std::optional<LecturaClaves> claves;
    std::optional<RegistroEstaciones> registro;
    Resultado lecturaRegistro;
    InformeRecopilacion informe;

    // The key and the register read, then the collection; on its thread.
    void recoger(const QString &salida, const QStringList &carpetas, const QString &rutaClaves,
        const QString &rutaRegistro, const std::function<void(int, int)> &progreso,
        const std::atomic<bool> *cancelar)
    {
        if (!rutaClaves.isEmpty()) {
            claves = leerClaves(rutaClaves);
            if (!claves->ok())
                return;
        }
        if (!rutaRegistro.isEmpty()) {
            registro.emplace();
            lecturaRegistro = RegistroEstaciones::leer(rutaRegistro, &*registro);
            if (!lecturaRegistro.ok())
                return;
        }
        informe
            = recopilarResultados(salida, carpetas, progreso, claves ? &claves->claves : nullptr,
                rutaClaves, cancelar, registro ? &*registro : nullptr);
    }
};

} // namespace

void VentanaPersonal::recopilar()
{
    if (ocupada())
        return;
    m_resumenRecopilar->hide();
    m_abrirInforme->hide();
    llenar(m_omitidos, {});
    QStringList carpetas;
    for (int i = 0; i < m_estaciones->count(); ++i)
        carpetas << QDir::fromNativeSeparators(m_estaciones->item(i)->text());
    const QString salida = QDir::fromNativeSeparators(m_salida->text().trimmed());
    const QString rutaClaves = QDir::fromNativeSeparators(m_claves->text().trimmed());
    const QString rutaRegistro = QDir::fromNativeSeparators(m_registroRecopilar->text().trimmed());
    if (carpetas.isEmpty())
        return mostrarError(
            m_resumenRecopilar, QStringLiteral("Agregue al menos la carpeta de una estación."), {});
    if (!salida.endsWith(QLatin1String(".xlsx"), Qt::CaseInsensitive))
        return mostrarError(m_resumenRecopilar,
            QStringLiteral("El libro de salida debe terminar en .xlsx."), nativa(salida));

    m_recopilar->setEnabled(false);
    m_botonCancelar->setEnabled(true);
    m_progreso->setRange(0, 1);
    m_progreso->setValue(0);
    m_progreso->setFormat(QStringLiteral("leyendo…"));
    m_tiempo->clear();
    auto recogido = std::make_shared<Recogido>();
    auto reloj = std::make_shared<QElapsedTimer>();
    reloj->start();
    const auto progreso = [this, reloj](int hechos, int total) {
        const qint64 ms = reloj->elapsed();
        QMetaObject::invokeMethod(
            this, [this, hechos, total, ms] { mostrarAvance(hechos, total, ms); });
    };
    enSegundoPlano(
        [this, recogido, carpetas, salida, rutaClaves, rutaRegistro, progreso] {
            recogido->recoger(salida, carpetas, rutaClaves, rutaRegistro, progreso, &m_cancelar);
        },
        [this, recogido, rutaClaves] {
            if (!recogido->lecturaRegistro.ok()) {
                m_progreso->setFormat(QString());
                return mostrarError(m_resumenRecopilar,
                    QStringLiteral("No se puede leer el registro de estaciones; no se recopiló "
                                   "nada. Revise el archivo y vuelva a intentar."),
                    recogido->lecturaRegistro.texto());
            }
            mostrarRecopilacion(recogido->claves, recogido->informe, !rutaClaves.isEmpty());
        });
}

void VentanaPersonal::mostrarAvance(int hechos, int total, qint64 ms)
{
    m_progreso->setRange(0, std::max(total, 1));
    m_progreso->setValue(hechos);
    m_progreso->setFormat(
        QStringLiteral("%1 de %2 libros").arg(kLocal.toString(hechos), kLocal.toString(total)));
    if (hechos > 0 && hechos < total) {
        const qint64 faltan = ms * (total - hechos) / hechos / 1000;
        m_tiempo->setText(faltan < 60
                ? QStringLiteral("faltan unos %1 s").arg(std::max<qint64>(faltan, 1))
                : QStringLiteral("faltan unos %1 min").arg((faltan + 59) / 60));
    } else {
        m_tiempo->clear();
    }
}

void VentanaPersonal::mostrarRecopilacion(
    const std::optional<LecturaClaves> &claves, const InformeRecopilacion &r, bool conClaves)
{
    m_tiempo->clear();
    if (claves && !claves->ok()) {
        m_progreso->setFormat(QString());
        return mostrarError(m_resumenRecopilar,
            QStringLiteral("La clave de respuestas tiene errores; no se recopiló nada. "
                           "Corríjala y vuelva a intentar."),
            claves->errores.join(QLatin1Char('\n')));
    }
    QList<std::pair<QString, QString>> filas;
    for (const Custodia::Problema &p : r.problemasCustodia)
        filas.append({ p.libro.isEmpty() ? p.estacion : p.libro,
            QStringLiteral("custodia (estación %1): %2%3")
                .arg(p.estacion, p.problema,
                    p.materia.isEmpty() ? QString() : QStringLiteral(", ") + p.materia) });
    for (const QString &omitido : r.omitidos) {
        const auto [ruta, motivo] = rutaYMotivo(omitido);
        filas.append({ nativa(ruta), motivo });
    }
    llenar(m_omitidos, filas);
    if (!r.resultado.ok()) {
        m_progreso->setFormat(QString());
        return mostrarError(m_resumenRecopilar,
            r.resultado.causa == CausaFallo::Cancelada
                ? QStringLiteral("Recopilación cancelada: no se guardó nada y los resultados "
                                 "anteriores quedan como estaban.")
                : QStringLiteral("No se pudo guardar la recopilación: no se guardó nada y los "
                                 "resultados anteriores quedan como estaban."),
            r.resultado.texto());
    }
    m_resumenRecopilar->setStyleSheet(QString());
    QString resumen = QStringLiteral("%1 libros, %2 filas en %3 y %4.")
                          .arg(kLocal.toString(r.libros), kLocal.toString(r.filas),
                              nativa(m_salida->text().trimmed()), nativa(r.salidaCsv));
    if (conClaves)
        resumen += QStringLiteral(" %1 filas puntuadas; informe en %2.")
                       .arg(kLocal.toString(r.puntuadas), nativa(r.salidaPdf));
    if (!r.omitidos.isEmpty())
        resumen += QStringLiteral(" %1 omitidos o repetidos: vea la lista.")
                       .arg(kLocal.toString(qsizetype(r.omitidos.size())));
    if (r.conSellos && r.problemasCustodia.empty())
        resumen += QStringLiteral("\nCustodia: las %1 filas llegaron como las selló su estación.")
                       .arg(kLocal.toString(r.verificadas));
    else if (r.conSellos) {
        resumen += QStringLiteral("\nCustodia: %1 filas verificadas y %2 problemas (hoja "
                                  "\"Custodia\" y lista de abajo). Las filas no verificadas no "
                                  "entran en ninguna cifra.")
                       .arg(kLocal.toString(r.verificadas),
                           kLocal.toString(qsizetype(r.problemasCustodia.size())));
        m_resumenRecopilar->setStyleSheet(QStringLiteral("color: #a40000;"));
    }
    m_resumenRecopilar->setText(resumen);
    m_resumenRecopilar->show();
    m_informe = r.salidaPdf;
    m_abrirInforme->setVisible(conClaves && QFileInfo::exists(r.salidaPdf));
}

void VentanaPersonal::closeEvent(QCloseEvent *evento)
{
    guardarPreferencias();
    m_cancelar = true;
    if (m_hilo)
        m_hilo->wait();
    QWidget::closeEvent(evento);
}
