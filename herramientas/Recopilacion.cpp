#include "Recopilacion.h"

#include "Analisis.h"
#include "Causas.h"
#include "ColumnasReporte.h"
#include "Disco.h"
#include "Entradas.h"
#include "EscritorXlsx.h"
#include "InformePdf.h"
#include "LectorXlsx.h"
#include "PaqueteXlsx.h"
#include "PropiedadesXlsx.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QLockFile>
#include <QSet>

#include <algorithm>
#include <array>
#include <cstring>
#include <future>
#include <thread>
#include <vector>

namespace {

// Workbooks are read this many at a time, by all the cores, and written in their order.
constexpr int kLibrosPorTanda = 512;

QStringList encabezados(bool conSello)
{
    QStringList h;
    for (int col = 1; col <= columnas::kUltima; ++col)
        h << columnas::titulo(col);
    h << QStringLiteral("Archivo");
    if (conSello)
        h << QStringLiteral("Sello");
    return h;
}

// 128 bits of a SHA-1: what tells rows and students apart, kept without an allocation each.
struct Huella128 {
    quint64 alta = 0;
    quint64 baja = 0;
    bool operator==(const Huella128 &otra) const = default;
};

size_t qHash(const Huella128 &h, size_t semilla = 0)
{
    return qHashMulti(semilla, h.alta, h.baja);
}

Huella128 huella128(const QByteArray &sha)
{
    Huella128 h;
    std::memcpy(&h.alta, sha.constData(), 8);
    std::memcpy(&h.baja, sha.constData() + 8, 8);
    return h;
}

// A report row as it goes to the output, with the file's name last, and as the analysis
// takes it.
struct FilaLeida {
    QList<Celda> celdas;
    RespuestasAlumno alumno;
    bool puntuable = false; // its model is one the key can know
    QByteArray csv; // its CSV line
    Huella128 huella; // of its 32 report cells: equal rows are copies of one another
    int fila = 0; // in the workbook's "Reporte"
    Custodia::Juicio juicio; // what its seal says, when seals are checked
};

// One source workbook, made ready for the output on the reading threads: its rows and their
// CSV lines, or why it was left out.
struct LibroLeido {
    QString ruta;
    int indice = 0; // in the list of workbooks
    QString carpeta; // of `ruta`, and its file name, once
    QString nombre;
    std::vector<FilaLeida> filas;
    Resultado lectura; // why it was left out
};

// The report rows of one workbook's cells, taken as the reader gives them.
class FilasDelLibro {
public:
    void celda(int fila, int columna, const Celda &c)
    {
        // A note the staff wrote beside the report is theirs: it is not read, and it never
        // costs the student's answers.
        if (fila < 1 || fila > kFilasReporte || columna < 1 || columna > columnas::kUltima)
            return;
        QList<Celda> &valores = m_filas[size_t(fila - 1)];
        if (valores.isEmpty())
            valores.fill(Celda::deTexto(QString()), columnas::kUltima);
        valores[columna - 1] = c;
    }
    // The rows read, or why the workbook is left out of the results.
    Resultado terminar(std::vector<FilaLeida> *filas)
    {
        for (int fila = 1; fila <= kFilasReporte; ++fila) {
            QList<Celda> &valores = m_filas[size_t(fila - 1)];
            if (valores.isEmpty())
                continue;
            const QString materia = nombreMateria(asignaturaDeFila(fila));
            if (valores[columnas::kMateria - 1].texto != materia)
                return falloHerramienta(CausaFallo::NoEsReporte,
                    QStringLiteral("la fila %1 no es de %2").arg(fila).arg(materia));
            if (const QString raro = caracterNoGuardable(valores); !raro.isEmpty())
                return falloHerramienta(CausaFallo::TextoNoGuardable,
                    QStringLiteral("fila %1: %2").arg(fila).arg(raro));
            filas->push_back({ std::move(valores), {}, false, {}, {}, fila, {} });
        }
        return {};
    }

private:
    // Where a text holds a character that the output could not give back as it was read: a
    // carriage return comes back from the output as a line feed, other control characters not
    // at all. Empty when there is none.
    static QString caracterNoGuardable(const QList<Celda> &valores)
    {
        for (int col = 0; col < valores.size(); ++col) {
            for (const QChar c : valores[col].texto) {
                if (c.unicode() < 32 && c != QLatin1Char('\t') && c != QLatin1Char('\n'))
                    return QStringLiteral("la celda %1 tiene el carácter de control %2")
                        .arg(nombreColumna(col + 1))
                        .arg(c.unicode());
            }
        }
        return {};
    }

    std::array<QList<Celda>, kFilasReporte> m_filas;
};

// One CSV field, quoted when needed. A text that a spreadsheet would take for a formula
// (=, +, -, @, a tab or a carriage return first) gets a leading apostrophe, which spreadsheets
// read as "this is text": a section typed as a formula never runs on the staff's computer.
QString campoCsv(const QString &texto, bool esTexto = true)
{
    static const QString kInicios = QStringLiteral("=+-@\t\r");
    const QString valor = esTexto && !texto.isEmpty() && kInicios.contains(texto.front())
        ? QLatin1Char('\'') + texto
        : texto;
    if (!valor.contains(QLatin1Char(',')) && !valor.contains(QLatin1Char('"'))
        && !valor.contains(QLatin1Char('\n')) && !valor.contains(QLatin1Char('\r')))
        return valor;
    QString v = valor;
    v.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + v + QLatin1Char('"');
}

// Who a row is of: the registration data (establishment, shift, section, sex, student code)
// and the subject.
Huella128 claveDeAlumno(const QList<Celda> &fila)
{
    QCryptographicHash clave(QCryptographicHash::Sha1);
    for (int columna : { columnas::kCodEmpresa, columnas::kTurno, columnas::kSeccion,
             columnas::kSexo, columnas::kDNI, columnas::kMateria }) {
        clave.addData(fila[columna - 1].comoTexto().toUtf8());
        clave.addData(QByteArrayView("\0", 1));
    }
    return huella128(clave.result());
}

// A report row as the analysis takes it; false when its model is none the key knows.
bool respuestasDeFila(const QList<Celda> &fila, RespuestasAlumno *r)
{
    r->codEmpresa = fila[columnas::kCodEmpresa - 1].texto;
    r->nombreEscuela = fila[columnas::kNombreEscuela - 1].texto;
    r->turno = fila[columnas::kTurno - 1].texto;
    r->seccion = fila[columnas::kSeccion - 1].texto;
    r->sexo = int(fila[columnas::kSexo - 1].numero);
    r->dni = fila[columnas::kDNI - 1].comoTexto();
    r->asignatura = fila[columnas::kMateria - 1].texto == nombreMateria(Asignatura::Matematica)
        ? Asignatura::Matematica
        : Asignatura::Lengua;
    const Celda &modelo = fila[columnas::kModelo - 1];
    r->modelo = modelo.tipo == Celda::Tipo::Numero ? int(modelo.numero) : 0;
    if (modelo.tipo != Celda::Tipo::Numero || modelo.numero != r->modelo || r->modelo < 1
        || r->modelo > kModelos)
        return false;
    for (int q = 1; q <= kPreguntas; ++q) {
        const QString &letra = fila[columnas::respuesta(q) - 1].texto;
        r->respuestas[q - 1] = letra.size() == 1 && letra.at(0) >= QLatin1Char('A')
                && letra.at(0) <= QLatin1Char('D')
            ? char(letra.at(0).unicode())
            : 0;
    }
    return true;
}

LibroLeido leerLibro(const QString &ruta, int indice, const Custodia *custodia)
{
    LibroLeido libro { ruta, indice, {}, {}, {}, {} };
    QByteArray bytes;
    FilasDelLibro filas;
    PropiedadesXlsx propiedades;
    libro.lectura = DiscoLocal().leer(ruta, limitesXlsx::kMaxBytesLibro, &bytes);
    if (libro.lectura.ok()) {
        const PaqueteXlsx paquete(bytes);
        libro.lectura = recorrerHoja(paquete, kNombreHojaReporte(),
            [&filas](int fila, int columna, const Celda &c) { filas.celda(fila, columna, c); });
        // A seal that cannot be read is no seal: the row says so, the rest of it is read.
        if (custodia && libro.lectura.ok())
            (void)leerPropiedades(paquete, &propiedades);
    }
    if (libro.lectura.ok())
        libro.lectura = filas.terminar(&libro.filas);
    if (!libro.lectura.ok())
        return libro;
    const QFileInfo archivo(ruta);
    const QString nombre = archivo.fileName();
    libro.nombre = nombre;
    libro.carpeta = archivo.path();
    const QString nombreCsv = campoCsv(nombre);
    for (FilaLeida &fila : libro.filas) {
        if (custodia) {
            const auto sello = propiedades.find(propiedadDelSello(fila.fila));
            fila.juicio
                = custodia->juzgar(sello == propiedades.end() ? QString() : sello->second.valor,
                    nombre, fila.fila, fila.celdas);
        }
        QString linea;
        QCryptographicHash huella(QCryptographicHash::Sha1);
        for (const Celda &c : std::as_const(fila.celdas)) {
            const QString t = campoCsv(c.comoTexto(), c.tipo == Celda::Tipo::Texto);
            linea += t + QLatin1Char(',');
            // The type and the value of each cell, apart, so that "1" and 1 differ.
            huella.addData(QByteArrayView(c.tipo == Celda::Tipo::Texto ? "t" : "n", 1));
            huella.addData(c.comoTexto().toUtf8());
            huella.addData(QByteArrayView("\0", 1));
        }
        linea += nombreCsv;
        if (custodia)
            linea += QLatin1Char(',') + campoCsv(textoEstadoSello(fila.juicio.estado));
        fila.csv = (linea + QStringLiteral("\r\n")).toUtf8();
        fila.huella = huella128(huella.result());
        fila.puntuable = respuestasDeFila(fila.celdas, &fila.alumno);
        fila.celdas << Celda::deTexto(nombre);
        if (custodia)
            fila.celdas << Celda::deTexto(textoEstadoSello(fila.juicio.estado));
    }
    return libro;
}

// Reads the workbooks [desde, hasta) on every core.
std::vector<LibroLeido> leerTanda(
    const QStringList &rutas, int desde, int hasta, const Custodia *custodia)
{
    std::vector<LibroLeido> libros(size_t(hasta - desde));
    const int hilos = int(std::max(1u, std::min(std::thread::hardware_concurrency(), 8u)));
    std::vector<std::thread> trabajadores;
    for (int h = 0; h < hilos; ++h) {
        trabajadores.emplace_back([&, h] {
            for (int i = desde + h; i < hasta; i += hilos)
                libros[size_t(i - desde)] = leerLibro(rutas[i], i, custodia);
        });
    }
    for (std::thread &t : trabajadores)
        t.join();
    return libros;
}

bool nombreDeLibroDeAlumno(const QString &nombre)
{
    return nombre.startsWith(QLatin1String("Apl Examen - "), Qt::CaseInsensitive)
        && nombre.endsWith(QLatin1String(".xlsx"), Qt::CaseInsensitive);
}

// The merged workbook, sheet by sheet, with the fingerprint of what each sheet received.
class Salida {
public:
    Salida(const QString &ruta, const QString &carpeta)
        : m_escritor(ruta, carpeta, true)
    {
    }
    int hoja(const QString &nombre, const QStringList &titulos)
    {
        const int indice = m_escritor.agregarHoja(nombre);
        m_hojas.push_back({ nombre, {}, 1 });
        for (int col = 0; col < titulos.size(); ++col)
            escribir(int(m_hojas.size()) - 1, col + 1, Celda::deTexto(titulos[col]));
        return indice;
    }
    // Row after row: each call starts a new row of the sheet.
    void fila(int hoja, const QList<Celda> &celdas)
    {
        ++m_hojas[size_t(hoja)].fila;
        for (int col = 0; col < celdas.size(); ++col)
            escribir(hoja, col + 1, celdas[col]);
    }
    Resultado cerrar() { return m_escritor.cerrar(); }
    // NoCoincide, with the first sheet that does not read back as written.
    Resultado comprobar(const QString &ruta)
    {
        // Each sheet read back on its own thread: the large ones take the time.
        std::vector<std::future<Resultado>> comprobaciones;
        for (const Hoja &h : m_hojas)
            comprobaciones.push_back(
                std::async(std::launch::async, [&ruta, &h] { return comprobarHoja(ruta, h); }));
        Resultado primero;
        for (auto &c : comprobaciones) {
            const Resultado r = c.get();
            if (primero.ok())
                primero = r;
        }
        return primero;
    }

private:
    struct Hoja {
        QString nombre;
        HuellaCeldas huella;
        int fila;
    };
    void escribir(int hoja, int columna, const Celda &celda)
    {
        Hoja &h = m_hojas[size_t(hoja)];
        m_escritor.escribir(hoja, h.fila, columna, celda);
        h.huella.agregar(h.fila, columna, celda);
    }
    // Reads the sheet back from the disk: every cell must be there as written.
    static Resultado comprobarHoja(const QString &ruta, const Hoja &hoja)
    {
        const PaqueteXlsx paquete = PaqueteXlsx::deArchivo(ruta);
        HuellaCeldas leida;
        const Resultado fallo = recorrerHoja(paquete, hoja.nombre,
            [&leida](int fila, int columna, const Celda &c) { leida.agregar(fila, columna, c); },
            { std::numeric_limits<qint64>::max(), std::numeric_limits<qint64>::max() });
        if (!fallo.ok())
            return falloDisco(CausaFallo::NoCoincide,
                QStringLiteral("el libro escrito no se puede leer: %1").arg(fallo.texto()));
        if (!leida.coincide(hoja.huella))
            return falloDisco(CausaFallo::NoCoincide,
                QStringLiteral(
                    "la hoja %1 escrita no coincide con lo recopilado (%2 de %3 celdas leídas)")
                    .arg(hoja.nombre)
                    .arg(leida.celdas())
                    .arg(hoja.huella.celdas()));
        return {};
    }

    EscritorLibro m_escritor;
    std::vector<Hoja> m_hojas;
};

Celda texto(const QString &t)
{
    return Celda::deTexto(t);
}

Celda numeroCelda(double n)
{
    return Celda::deNumero(n);
}

Celda opcional(const std::optional<double> &v)
{
    return v ? Celda::deNumero(*v) : Celda::deTexto(QString());
}

// An output file, staged beside its place under a name of its own until the whole set is
// written and proven.
struct Etapa {
    QString temporal;
    QString destino;
};

QString temporalDe(const QString &destino)
{
    const QFileInfo f(destino);
    return f.absoluteDir().filePath(
        QStringLiteral(".%1.%2.tmp").arg(f.fileName()).arg(QCoreApplication::applicationPid()));
}

// The path a file has or would have once made, links and ".." resolved.
QString rutaReal(const QString &ruta)
{
    const QFileInfo f(ruta);
    if (f.exists())
        return f.canonicalFilePath();
    const QString carpeta = QFileInfo(f.absolutePath()).canonicalFilePath();
    return carpeta.isEmpty() ? f.absoluteFilePath() : QDir(carpeta).filePath(f.fileName());
}

// Why an output may not go where it is asked: it would replace an input, or lie in a folder
// being read (a station's content among them).
Resultado salidaQueEsEntrada(
    const QStringList &salidas, const QStringList &carpetas, const QString &rutaClaves)
{
    const QString claves = rutaClaves.isEmpty() ? QString() : rutaReal(rutaClaves);
    for (const QString &salida : salidas) {
        const TipoEntrada tipo = tipoEntrada(salida);
        if (tipo == TipoEntrada::Carpeta || tipo == TipoEntrada::Otro)
            return falloDisco(CausaFallo::NoEsArchivo,
                QStringLiteral("no se puede escribir %1: en su lugar hay %2; no se guardó nada")
                    .arg(QDir::toNativeSeparators(salida), nombreTipoEntrada(tipo)));
        const QString real = rutaReal(salida);
        if (!claves.isEmpty() && estaDentroDe(real, claves))
            return falloHerramienta(CausaFallo::SalidaNoPermitida,
                QStringLiteral("la salida %1 es el libro de claves; elija otro nombre")
                    .arg(QDir::toNativeSeparators(salida)));
        for (const QString &carpeta : carpetas) {
            const QString leida = QFileInfo(carpeta).canonicalFilePath();
            if (!leida.isEmpty() && estaDentroDe(real, leida))
                return falloHerramienta(CausaFallo::SalidaNoPermitida,
                    QStringLiteral("la salida %1 queda dentro de la carpeta que se lee, %2; "
                                   "guárdela en otra carpeta")
                        .arg(QDir::toNativeSeparators(salida), QDir::toNativeSeparators(carpeta)));
        }
    }
    return {};
}

// The list of a set of outputs being put in place, beside the workbook.
QString rutaColocacion(const QString &salidaXlsx)
{
    const QFileInfo f(salidaXlsx);
    return f.absoluteDir().filePath(QStringLiteral(".%1.colocacion").arg(f.fileName()));
}

// Finishes the placing of a set that a killed run left halfway: every staged output still
// there takes its place, as the run would have done; then the list goes. Then whatever killed
// runs staged and never listed goes too. Only with the output's lock held.
Resultado completarColocacion(const QStringList &salidas, bool *completada)
{
    *completada = false;
    DiscoLocal disco;
    const QString intencion = rutaColocacion(salidas[0]);
    QByteArray bytes;
    const Resultado leida = disco.leer(intencion, 64 * 1024, &bytes);
    if (leida.ok()) {
        for (const QString &linea :
            QString::fromUtf8(bytes).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            const QStringList par = linea.split(QLatin1Char('\t'));
            if (par.size() != 2 || tipoEntrada(par[0]) != TipoEntrada::Archivo)
                continue;
            if (const Resultado r = disco.reemplazar(par[0], par[1]); !r.ok())
                return r.conDetalle(QStringLiteral("no se puede terminar de colocar %1: %2")
                                        .arg(QDir::toNativeSeparators(par[1]), r.texto()));
            *completada = true;
        }
        QFile::remove(intencion);
    } else if (leida.causa != CausaFallo::ArchivoInexistente) {
        return leida.conDetalle(QStringLiteral("no se puede leer %1: %2")
                                    .arg(QDir::toNativeSeparators(intencion), leida.texto()));
    }
    borrarCopiasPreparadas(disco, intencion);
    const QDir carpeta = QFileInfo(salidas[0]).absoluteDir();
    const QStringList nombres = carpeta.entryList(QDir::Files | QDir::Hidden | QDir::System);
    for (const QString &salida : salidas) {
        const QString prefijo = QLatin1Char('.') + QFileInfo(salida).fileName() + QLatin1Char('.');
        for (const QString &nombre : nombres) {
            if (nombre.startsWith(prefijo) && nombre.contains(QLatin1String(".tmp")))
                disco.borrar(carpeta.filePath(nombre));
        }
    }
    return {};
}

// The hash of a file as it is on the disk now.
QByteArray huellaDeArchivo(const QString &ruta)
{
    QFile archivo(ruta);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!archivo.open(QIODevice::ReadOnly) || !hash.addData(&archivo))
        return {};
    return hash.result();
}

} // namespace

void prepararProcesoDeRecopilacion(bool conVentanas)
{
    ignorarLimiteDeTamano();
    if (!conVentanas && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
#ifndef Q_OS_WIN
    if (!qEnvironmentVariableIsSet("TZ"))
        qputenv("TZ", ":/etc/localtime");
#endif
}

namespace {

// The student workbooks of the folders, sorted by name within each folder; what is not a
// folder goes to `omitidos`.
QStringList listarLibros(const QStringList &carpetas, QStringList *omitidos)
{
    QStringList libros;
    for (const QString &carpeta : carpetas) {
        if (!QFileInfo(carpeta).isDir()) {
            *omitidos << QStringLiteral("%1: no es una carpeta").arg(carpeta);
            continue;
        }
        // Names only, sorted here: a listing that keeps every file's details costs more than a
        // kilobyte a workbook, and a province sends a hundred thousand. The output is never
        // among them: it may not be named as a student's workbook.
        const QDir dir(carpeta);
        QStringList nombres;
        // Whatever bears a workbook's name is looked at: what is not an ordinary file (a
        // folder, a pipe, a link) is named and left out, never opened.
        for (QDirIterator it(carpeta, { QStringLiteral("Apl Examen - *.xlsx") },
                 QDir::Files | QDir::Dirs | QDir::System | QDir::NoDotAndDotDot);
             it.hasNext();) {
            it.next();
            const TipoEntrada tipo = tipoEntrada(it.filePath());
            if (tipo == TipoEntrada::Archivo)
                nombres << it.fileName();
            else
                omitidos->append(QStringLiteral("%1: no es un archivo (es %2)")
                                     .arg(it.filePath(), nombreTipoEntrada(tipo)));
        }
        std::sort(nombres.begin(), nombres.end());
        for (const QString &nombre : std::as_const(nombres))
            libros << dir.filePath(nombre);
    }
    return libros;
}

// The sheets of the output beside "Resultados", written when there are answer keys.
struct HojasAnalisis {
    int puntajes = -1, items = -1, modelos = -1, clases = -1, equiparacion = -1;
};

HojasAnalisis agregarHojasAnalisis(Salida &libro)
{
    HojasAnalisis h;
    h.puntajes = libro.hoja(QStringLiteral("Puntajes"),
        { QStringLiteral("Código de Empresa"), QStringLiteral("Nombre del Establecimiento"),
            QStringLiteral("Turno"), QStringLiteral("Sección"), QStringLiteral("Sexo"),
            QStringLiteral("Código de Alumno/a"), QStringLiteral("Materia"),
            QStringLiteral("Modelo"), QStringLiteral("Correctas"), QStringLiteral("Porcentaje"),
            QStringLiteral("Archivo"), QStringLiteral("Puntaje equiparado"),
            QStringLiteral("Porcentaje equiparado") });
    QStringList titulosItems { QStringLiteral("Materia"), QStringLiteral("Modelo"),
        QStringLiteral("Pregunta"), QStringLiteral("Clave"), QStringLiteral("Alumnos"),
        QStringLiteral("A"), QStringLiteral("B"), QStringLiteral("C"), QStringLiteral("D"),
        QStringLiteral("Sin respuesta"), QStringLiteral("Facilidad"),
        QStringLiteral("Discriminación"), QStringLiteral("Observación") };
    for (const char *grupo : { "r ", "Mejores ", "Peores " })
        for (const char *opcion : { "A", "B", "C", "D" })
            titulosItems << QLatin1String(grupo) + QLatin1String(opcion);
    titulosItems << QStringLiteral("DIF delta") << QStringLiteral("EE Δ")
                 << QStringLiteral("DIF chi2") << QStringLiteral("DIF categoría");
    h.items = libro.hoja(QStringLiteral("Items"), titulosItems);
    h.modelos = libro.hoja(QStringLiteral("Modelos"),
        { QStringLiteral("Materia"), QStringLiteral("Modelo"), QStringLiteral("Alumnos"),
            QStringLiteral("Media"), QStringLiteral("Desvío"), QStringLiteral("KR-20"),
            QStringLiteral("Error estándar") });
    h.clases = libro.hoja(QStringLiteral("Establecimientos"),
        { QStringLiteral("Código de Empresa"), QStringLiteral("Nombre del Establecimiento"),
            QStringLiteral("Turno"), QStringLiteral("Sección"), QStringLiteral("Materia"),
            QStringLiteral("Alumnos"), QStringLiteral("Porcentaje medio"),
            QStringLiteral("Porcentaje equiparado medio") });
    QStringList titulosEquiparacion { QStringLiteral("Materia"), QStringLiteral("Modelo"),
        QStringLiteral("Alumnos"), QStringLiteral("Método") };
    for (int x = 0; x <= kPreguntas; ++x)
        titulosEquiparacion << QString::number(x);
    h.equiparacion = libro.hoja(QStringLiteral("Equiparación"), titulosEquiparacion);
    return h;
}

// One model's rows in "Modelos", "Items" and "Equiparación".
void escribirModelo(Salida &libro, const HojasAnalisis &h, const AnalisisModelo &m)
{
    const Celda materia = texto(nombreMateria(m.asignatura));
    libro.fila(h.modelos,
        { materia, numeroCelda(m.modelo), numeroCelda(m.alumnos), numeroCelda(m.media),
            numeroCelda(m.desvio), opcional(m.kr20), opcional(m.errorEstandar) });
    for (int q = 0; q < kPreguntas; ++q) {
        const AnalisisItem &i = m.items[q];
        QList<Celda> fila { materia, numeroCelda(m.modelo), numeroCelda(q + 1),
            texto(QString(QLatin1Char(i.clave))), numeroCelda(m.alumnos),
            numeroCelda(i.opciones[0]), numeroCelda(i.opciones[1]), numeroCelda(i.opciones[2]),
            numeroCelda(i.opciones[3]), numeroCelda(i.sinRespuesta), numeroCelda(i.facilidad),
            opcional(i.discriminacion), texto(i.observacion) };
        for (int o = 0; o < 4; ++o)
            fila << opcional(i.correlacionOpcion[o]);
        for (int o = 0; o < 4; ++o)
            fila << numeroCelda(i.entreMejores[o]);
        for (int o = 0; o < 4; ++o)
            fila << numeroCelda(i.entrePeores[o]);
        fila << opcional(i.difDelta) << opcional(i.difErrorEstandar) << opcional(i.difChi2)
             << texto(i.difCategoria);
        libro.fila(h.items, fila);
    }
    QList<Celda> curva { materia, numeroCelda(m.modelo), numeroCelda(m.alumnos),
        texto(textoMetodo(m.metodo)) };
    for (int x = 0; x <= kPreguntas; ++x)
        curva << numeroCelda(m.equiparacion[x]);
    libro.fila(h.equiparacion, curva);
}

// One collection: the workbooks read in batches while the output is written, each student
// and subject counted once, the scores and analysis written once every student is known,
// and the outputs placed only once all of them are written and read back.
class Recopilacion {
public:
    Recopilacion(InformeRecopilacion &informe, const QString &salidaXlsx,
        const QStringList &salidas, const Claves *claves, const RegistroEstaciones *registro)
        : m_informe(informe)
        , m_carpetaSalida(QFileInfo(salidaXlsx).absolutePath())
        , m_libro(temporalDe(salidas[0]), m_carpetaSalida)
    {
        for (const QString &destino : salidas)
            m_etapas.push_back({ temporalDe(destino), destino });
        if (claves)
            m_analisis.emplace(*claves);
        if (registro)
            m_custodia.emplace(*registro);
        m_informe.conSellos = registro != nullptr;
        m_reloj.start();
    }

    // Ok when every output took its place.
    Resultado ejecutar(const QStringList &carpetas, const std::function<void(int, int)> &progreso,
        const std::atomic<bool> *cancelar)
    {
        // The stations' journals are read while the workbooks are listed.
        std::future<void> diarios;
        if (m_custodia)
            diarios = std::async(std::launch::async, [this, &carpetas] {
                for (const QString &carpeta : carpetas)
                    m_custodia->agregarCarpeta(carpeta);
                m_custodia->cerrarDiarios();
            });
        m_libros = listarLibros(carpetas, &m_informe.omitidos);
        fase(QStringLiteral("lista de libros"));
        if (m_custodia) {
            diarios.get();
            fase(QStringLiteral("diarios de las estaciones"));
        }
        m_resultados = m_libro.hoja(QStringLiteral("Resultados"), encabezados(bool(m_custodia)));
        if (m_analisis)
            m_hojas = agregarHojasAnalisis(m_libro);
        if (m_custodia)
            m_hojaCustodia = m_libro.hoja(QStringLiteral("Custodia"),
                { QStringLiteral("Estación"), QStringLiteral("Guardados"),
                    QStringLiteral("Recopilados"), QStringLiteral("Verificados"),
                    QStringLiteral("Alterados"), QStringLiteral("Faltantes"),
                    QStringLiteral("Sobrantes"), QStringLiteral("Diario") });
        m_csv.setFileName(m_etapas[1].temporal);
        if (!m_csv.open(QIODevice::WriteOnly | QIODevice::Truncate))
            return falloDisco(causaDeEscritura(m_carpetaSalida, m_csv.error()),
                QStringLiteral("no se puede escribir %1: %2")
                    .arg(m_informe.salidaCsv, m_csv.errorString()));
        // UTF-8 with its byte-order mark: the spreadsheet program most schools have reads the
        // accents right only with it.
        escribirCsv("\xEF\xBB\xBF"
            + (encabezados(bool(m_custodia)).join(QLatin1Char(',')) + QStringLiteral("\r\n"))
                  .toUtf8());
        if (const Resultado r = leerLibros(progreso, cancelar); !r.ok())
            return r;
        if (m_custodia)
            escribirCustodia();
        if (m_analisis)
            escribirAnalisis();
        // The report is drawn on its own thread, in memory, while the workbook is closed and
        // read back; it is written only once the workbook took its place.
        std::future<QByteArray> informePdf;
        if (m_analisis)
            informePdf = std::async(std::launch::async, [this] {
                return dibujarInformePdf(m_resumenModelos, m_resumenClases, resumenCustodia());
            });
        fase(QStringLiteral("lectura y escritura"));
        if (const Resultado r = cerrarYComprobar(); !r.ok())
            return r;
        if (m_analisis) {
            const QByteArray bytes = informePdf.get();
            fase(QStringLiteral("espera del informe"));
            if (const Resultado r = escribirInforme(bytes); !r.ok())
                return r;
        }
        return colocar();
    }

    // What a failure leaves: none of the staged outputs.
    void descartar()
    {
        for (const Etapa &e : m_etapas)
            QFile::remove(e.temporal);
    }

private:
    // Each student and subject, once: who was seen, with which row, and where.
    struct Visto {
        Huella128 huella;
        int libro; // index in `m_libros`
        int puntaje; // index in `m_diferidos`, or -1
        bool confiable = true; // false: its seal is not verified, and it gives way to one that is
    };
    // The scores, written once every student is known: the equated score needs them all, and
    // a later copy that differs takes a student out.
    struct Diferido {
        RespuestasAlumno alumno;
        int correctas;
        int libro; // index in `m_libros`
        bool fuera;
    };

    void fase(const QString &nombre)
    {
        m_informe.fases.append({ nombre, m_reloj.restart() / 1000.0 });
    }

    void escribirCsv(const QByteArray &bytes)
    {
        m_csvEscrito = m_csv.write(bytes) == bytes.size() && m_csvEscrito;
        m_huellaCsv.addData(bytes);
    }

    // The names of schools, shifts and sections, each kept once.
    RespuestasAlumno compartido(RespuestasAlumno a)
    {
        for (QString *t : { &a.codEmpresa, &a.nombreEscuela, &a.turno, &a.seccion })
            *t = *m_textos.insert(*t);
        return a;
    }

    Resultado leerLibros(
        const std::function<void(int, int)> &progreso, const std::atomic<bool> *cancelar)
    {
        // The next batch is read while this one is written; the one written before goes with
        // it, to be freed there, where it was allocated.
        const QStringList &libros = m_libros;
        const Custodia *custodia = m_custodia ? &*m_custodia : nullptr;
        auto leerDesde = [&libros, custodia](int desde, std::vector<LibroLeido> anterior) {
            return std::async(std::launch::async,
                [&libros, custodia, desde, anterior = std::move(anterior)]() mutable {
                    anterior.clear();
                    return leerTanda(libros, desde,
                        std::min(int(libros.size()), desde + kLibrosPorTanda), custodia);
                });
        };
        std::future<std::vector<LibroLeido>> siguiente = leerDesde(0, {});
        std::vector<LibroLeido> tanda;
        for (int desde = 0; desde < libros.size(); desde += kLibrosPorTanda) {
            if (progreso)
                progreso(desde, int(libros.size()));
            if (cancelar && cancelar->load()) {
                siguiente.wait();
                m_csv.close();
                return falloHerramienta(CausaFallo::Cancelada,
                    QStringLiteral("recopilación cancelada; no se guardó nada"));
            }
            std::vector<LibroLeido> escrita = std::move(tanda);
            tanda = siguiente.get();
            if (desde + kLibrosPorTanda < libros.size())
                siguiente = leerDesde(desde + kLibrosPorTanda, std::move(escrita));
            for (const LibroLeido &leido : tanda) {
                if (!leido.lectura.ok()) {
                    m_informe.omitidos
                        << QStringLiteral("%1: %2").arg(leido.ruta, leido.lectura.texto());
                    continue;
                }
                ++m_informe.libros;
                for (const FilaLeida &fila : leido.filas)
                    contar(leido, fila);
            }
        }
        if (progreso)
            progreso(int(libros.size()), int(libros.size()));
        return {};
    }

    // One row of a workbook: written to "Resultados" unless it is a copy, and scored unless
    // the same student and subject came with different answers.
    void contar(const LibroLeido &leido, const FilaLeida &fila)
    {
        const Huella128 quien = claveDeAlumno(fila.celdas);
        auto visto = m_vistos.find(quien);
        if (visto != m_vistos.end() && visto->huella == fila.huella) {
            // The same row again (a folder given twice, a workbook copied): once.
            m_informe.omitidos << QStringLiteral("%1: copia repetida de %2; se cuenta una vez")
                                      .arg(leido.ruta, m_libros[visto->libro]);
            return;
        }
        m_libro.fila(m_resultados, fila.celdas);
        escribirCsv(fila.csv);
        ++m_informe.filas;
        if (!custodiar(leido, fila, quien, visto))
            return;
        if (visto != m_vistos.end() && !visto->confiable) {
            // A row whose seal failed gives way to the one verified.
            m_vistos.erase(visto);
            visto = m_vistos.end();
        }
        if (visto != m_vistos.end()) {
            // Two different rows for one student and subject: neither can be trusted, both
            // stay in "Resultados" and neither counts.
            m_informe.omitidos << QStringLiteral("%1: respuestas distintas para el mismo "
                                                 "alumno en %2; no se puntúa ninguna")
                                      .arg(leido.ruta, m_libros[visto->libro]);
            if (visto->puntaje >= 0 && !m_diferidos[size_t(visto->puntaje)].fuera) {
                m_diferidos[size_t(visto->puntaje)].fuera = true;
                m_analisis->quitar(m_diferidos[size_t(visto->puntaje)].alumno);
                --m_informe.puntuadas;
            }
            return;
        }
        visto = m_vistos.insert(quien, { fila.huella, leido.indice, -1 });
        if (!m_analisis)
            return;
        const RespuestasAlumno &alumno = fila.alumno;
        if (!fila.puntuable) {
            m_informe.omitidos << QStringLiteral("%1: la fila de %2 tiene un modelo que "
                                                 "no está en las claves; no se puntúa")
                                      .arg(leido.ruta, nombreMateria(alumno.asignatura));
            return;
        }
        const int correctas = m_analisis->agregar(alumno);
        visto->puntaje = int(m_diferidos.size());
        m_diferidos.push_back({ compartido(alumno), correctas, leido.indice, false });
        ++m_informe.puntuadas;
    }

    // A row's custody; false when its seal is not verified: it stays in "Resultados" and
    // counts in no statistic.
    bool custodiar(const LibroLeido &leido, const FilaLeida &fila, const Huella128 &quien,
        QHash<Huella128, Visto>::iterator visto)
    {
        if (!m_custodia)
            return true;
        m_custodia->contar(leido.carpeta, leido.nombre, fila.fila, fila.juicio);
        if (fila.juicio.estado == EstadoSello::Verificado) {
            ++m_informe.verificadas;
            return true;
        }
        m_informe.omitidos << QStringLiteral(
            "%1: la fila de %2 no está verificada (%3); no se puntúa")
                                  .arg(leido.ruta, nombreMateria(asignaturaDeFila(fila.fila)),
                                      textoEstadoSello(fila.juicio.estado));
        if (visto == m_vistos.end())
            m_vistos.insert(quien, { fila.huella, leido.indice, -1, false });
        return false;
    }

    // The sheet "Custodia": a row per station, then each problem with its workbook.
    void escribirCustodia()
    {
        m_custodia->terminar();
        m_informe.estaciones = m_custodia->estaciones();
        m_informe.problemasCustodia = m_custodia->problemas();
        for (const Custodia::FilaEstacion &e : m_informe.estaciones)
            m_libro.fila(m_hojaCustodia,
                { texto(e.estacion), numeroCelda(e.guardados), numeroCelda(e.recopilados),
                    numeroCelda(e.verificados), numeroCelda(e.alterados), numeroCelda(e.faltantes),
                    numeroCelda(e.sobrantes), texto(e.diario) });
        if (m_informe.problemasCustodia.empty())
            return;
        m_libro.fila(m_hojaCustodia, {});
        m_libro.fila(m_hojaCustodia,
            { texto(QStringLiteral("Estación")), texto(QStringLiteral("Problema")),
                texto(QStringLiteral("Libro")), texto(QStringLiteral("Materia")) });
        for (const Custodia::Problema &p : m_informe.problemasCustodia)
            m_libro.fila(m_hojaCustodia,
                { texto(p.estacion), texto(p.problema), texto(p.libro), texto(p.materia) });
    }

    ResumenCustodia resumenCustodia() const
    {
        if (!m_custodia)
            return {};
        ResumenCustodia r;
        r.frase = m_informe.problemasCustodia.empty()
            ? QStringLiteral("Todas las filas llegaron como las selló su estación: %1 verificadas.")
                  .arg(m_informe.verificadas)
            : QStringLiteral("%1 filas verificadas; %2 problemas de custodia (hoja \"Custodia\"). "
                             "Las filas no verificadas no entran en ninguna cifra.")
                  .arg(m_informe.verificadas)
                  .arg(m_informe.problemasCustodia.size());
        r.tabla.push_back({ QStringLiteral("Estación"), QStringLiteral("Diario"),
            QStringLiteral("Guardados"), QStringLiteral("Recopilados"),
            QStringLiteral("Verificados"), QStringLiteral("Alterados"), QStringLiteral("Faltantes"),
            QStringLiteral("Sobrantes") });
        for (const Custodia::FilaEstacion &e : m_informe.estaciones)
            r.tabla.push_back({ e.estacion, e.diario, QString::number(e.guardados),
                QString::number(e.recopilados), QString::number(e.verificados),
                QString::number(e.alterados), QString::number(e.faltantes),
                QString::number(e.sobrantes) });
        return r;
    }

    void escribirAnalisis()
    {
        m_resumenModelos = m_analisis->modelos();
        m_resumenClases = m_analisis->establecimientos();
        for (const Diferido &d : m_diferidos) {
            if (d.fuera)
                continue;
            const RespuestasAlumno &a = d.alumno;
            const double equiparado = m_analisis->equiparado(a.asignatura, a.modelo, d.correctas);
            m_libro.fila(m_hojas.puntajes,
                { texto(a.codEmpresa), texto(a.nombreEscuela), texto(a.turno), texto(a.seccion),
                    numeroCelda(a.sexo), texto(a.dni), texto(nombreMateria(a.asignatura)),
                    numeroCelda(a.modelo), numeroCelda(d.correctas),
                    numeroCelda(100.0 * d.correctas / kPreguntas),
                    texto(QFileInfo(m_libros[d.libro]).fileName()), numeroCelda(equiparado),
                    numeroCelda(porcentajeEquiparado(equiparado)) });
        }
        std::vector<Diferido>().swap(m_diferidos);
        for (const AnalisisModelo &m : m_resumenModelos)
            escribirModelo(m_libro, m_hojas, m);
        for (const AnalisisEstablecimiento &e : m_resumenClases)
            m_libro.fila(m_hojas.clases,
                { texto(e.codEmpresa), texto(e.nombreEscuela), texto(e.turno), texto(e.seccion),
                    texto(nombreMateria(e.asignatura)), numeroCelda(e.alumnos),
                    numeroCelda(e.porcentajeMedio), numeroCelda(e.porcentajeEquiparadoMedio) });
    }

    // The workbook closed and read back, then the CSV forced to the disk and read back.
    Resultado cerrarYComprobar()
    {
        const Resultado cierre = m_libro.cerrar();
        fase(QStringLiteral("cierre del libro"));
        if (!cierre.ok())
            return cierre;
        const Resultado relectura = m_libro.comprobar(m_etapas[0].temporal);
        fase(QStringLiteral("relectura"));
        if (!relectura.ok()) {
            // What the writer could not put on the disk it does not always say: a full disk
            // shows here, as a workbook that does not read back.
            return relectura.conDetalle(
                QStringLiteral("%1; no se guardó nada. Compruebe que haya espacio libre en %2 "
                               "(mientras trabaja necesita unos 8 KB por libro) y vuelva a "
                               "intentarlo")
                    .arg(relectura.detalle, QDir::toNativeSeparators(m_carpetaSalida)));
        }
        m_csvEscrito = m_csvEscrito && asegurarArchivo(m_csv);
        const QString errorCsv = m_csv.errorString();
        const CausaFallo causaCsv = causaDeEscritura(m_carpetaSalida, m_csv.error());
        m_csv.close();
        if (!m_csvEscrito || huellaDeArchivo(m_etapas[1].temporal) != m_huellaCsv.result())
            return falloDisco(m_csvEscrito ? CausaFallo::NoCoincide : causaCsv,
                QStringLiteral("no se puede escribir %1: %2; no se guardó nada")
                    .arg(m_informe.salidaCsv,
                        m_csvEscrito ? QStringLiteral("lo escrito no coincide al releerlo")
                                     : errorCsv));
        fase(QStringLiteral("texto separado por comas"));
        return {};
    }

    Resultado escribirInforme(const QByteArray &bytes)
    {
        if (bytes.isEmpty())
            return falloHerramienta(CausaFallo::InformeNoDibujado,
                QStringLiteral("no se pudo dibujar el informe %1; no se guardó nada")
                    .arg(m_informe.salidaPdf));
        QByteArray releido;
        if (const Resultado r = m_disco.escribir(m_etapas[2].temporal, bytes); !r.ok())
            return r.conDetalle(QStringLiteral("no se puede escribir %1: %2; no se guardó nada")
                                    .arg(m_informe.salidaPdf, r.texto()));
        if (!m_disco.leer(m_etapas[2].temporal, bytes.size() + 1, &releido).ok()
            || releido != bytes)
            return falloDisco(CausaFallo::NoCoincide,
                QStringLiteral("no se puede escribir %1: lo escrito no coincide al releerlo; no "
                               "se guardó nada")
                    .arg(m_informe.salidaPdf));
        return {};
    }

    // Each output replaces its old file in one step: whoever opens it sees the old or the new.
    // The set is placed as a whole: the list of what goes where is made durable first, so that
    // a run killed halfway is finished by the next one, and the staff never keep a mix.
    Resultado colocar()
    {
        QStringList lista;
        for (const Etapa &e : m_etapas)
            lista << QFileInfo(e.temporal).absoluteFilePath() + QLatin1Char('\t')
                    + QFileInfo(e.destino).absoluteFilePath();
        const QString intencion = rutaColocacion(m_etapas[0].destino);
        if (const Resultado r = m_disco.escribir(
                intencion, (lista.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8());
            !r.ok())
            return r.conDetalle(QStringLiteral("no se puede escribir %1: %2; no se guardó nada")
                                    .arg(QDir::toNativeSeparators(intencion), r.texto()));
        for (std::size_t i = 0; i < m_etapas.size(); ++i) {
            const Resultado r = m_disco.reemplazar(m_etapas[i].temporal, m_etapas[i].destino);
            if (r.ok())
                continue;
            QString error = QStringLiteral("no se puede reemplazar %1: %2")
                                .arg(QDir::toNativeSeparators(m_etapas[i].destino), r.texto());
            QStringList colocadas;
            for (std::size_t j = 0; j < i; ++j)
                colocadas << QDir::toNativeSeparators(m_etapas[j].destino);
            if (!colocadas.isEmpty())
                error += QStringLiteral("; ya son nuevos: %1")
                             .arg(colocadas.join(QStringLiteral(", ")));
            return r.conDetalle(error);
        }
        QFile::remove(intencion);
        return {};
    }

    InformeRecopilacion &m_informe;
    const QString m_carpetaSalida;
    std::vector<Etapa> m_etapas;
    std::optional<Analisis> m_analisis;
    std::optional<Custodia> m_custodia;
    int m_hojaCustodia = -1;
    QElapsedTimer m_reloj;
    DiscoLocal m_disco;
    QStringList m_libros;
    Salida m_libro;
    int m_resultados = -1;
    HojasAnalisis m_hojas;
    QFile m_csv;
    QCryptographicHash m_huellaCsv { QCryptographicHash::Sha256 };
    bool m_csvEscrito = true;
    QHash<Huella128, Visto> m_vistos;
    std::vector<Diferido> m_diferidos;
    QSet<QString> m_textos;
    std::vector<AnalisisModelo> m_resumenModelos;
    std::vector<AnalisisEstablecimiento> m_resumenClases;
};

} // namespace

InformeRecopilacion recopilarResultados(const QString &salidaXlsx, const QStringList &carpetas,
    const std::function<void(int, int)> &progreso, const Claves *claves, const QString &rutaClaves,
    const std::atomic<bool> *cancelar, const RegistroEstaciones *registro)
{
    InformeRecopilacion informe;
    const QFileInfo salida(salidaXlsx);
    const QString carpetaSalida = salida.absolutePath();
    const QString base = QDir(carpetaSalida).filePath(salida.completeBaseName());
    informe.salidaCsv = base + QStringLiteral(".csv");
    if (claves)
        informe.salidaPdf = base + QStringLiteral(".pdf");
    if (nombreDeLibroDeAlumno(salida.fileName())) {
        informe.resultado = falloHerramienta(CausaFallo::SalidaNoPermitida,
            QStringLiteral("la salida %1 se llama como el libro de un alumno; elija otro nombre")
                .arg(salidaXlsx));
        return informe;
    }
    if (!QFileInfo(carpetaSalida).isDir()) {
        const TipoEntrada tipo = tipoEntrada(carpetaSalida);
        informe.resultado = falloDisco(CausaFallo::SinCarpeta,
            tipo == TipoEntrada::Ninguna
                ? QStringLiteral("no existe la carpeta de la salida %1").arg(carpetaSalida)
                : QStringLiteral("en lugar de la carpeta de la salida %1 hay %2")
                      .arg(carpetaSalida, nombreTipoEntrada(tipo)));
        return informe;
    }
    QStringList salidas { salidaXlsx, informe.salidaCsv };
    if (claves)
        salidas << informe.salidaPdf;
    if (const Resultado r = salidaQueEsEntrada(salidas, carpetas, rutaClaves); !r.ok()) {
        informe.resultado = r;
        return informe;
    }
    // One collection at a time into the same outputs; what a killed one left is settled first.
    QLockFile cerrojo(
        QFileInfo(salidaXlsx)
            .absoluteDir()
            .filePath(QStringLiteral(".%1.lock").arg(QFileInfo(salidaXlsx).fileName())));
    if (!tomarCerrojo(cerrojo, 0)) {
        informe.resultado = cerrojo.error() == QLockFile::LockFailedError
            ? falloHerramienta(CausaFallo::RecopilacionEnCurso,
                QStringLiteral("otra recopilación está escribiendo %1; espere a que termine")
                    .arg(QDir::toNativeSeparators(salidaXlsx)))
            : falloDisco(causaDeEscritura(carpetaSalida, QFileDevice::PermissionsError),
                QStringLiteral("no se puede escribir en %1")
                    .arg(QDir::toNativeSeparators(carpetaSalida)));
        return informe;
    }
    QStringList todas { salidaXlsx, informe.salidaCsv, base + QStringLiteral(".pdf") };
    if (const Resultado r = completarColocacion(todas, &informe.colocacionCompletada); !r.ok()) {
        informe.resultado = r;
        return informe;
    }
    Recopilacion recopilacion(informe, salidaXlsx, salidas, claves, registro);
    if (const Resultado r = recopilacion.ejecutar(carpetas, progreso, cancelar); !r.ok()) {
        // A failure while placing keeps what is already placed: only the staged ones go.
        recopilacion.descartar();
        informe.resultado = r;
    }
    return informe;
}

Resultado completarRecopilacionInterrumpida(const QString &salidaXlsx, bool *completada)
{
    *completada = false;
    const QFileInfo salida(salidaXlsx);
    if (!salida.absoluteDir().exists())
        return {};
    QLockFile cerrojo(
        salida.absoluteDir().filePath(QStringLiteral(".%1.lock").arg(salida.fileName())));
    // A collection that runs now finishes its own placing.
    if (!tomarCerrojo(cerrojo, 0))
        return {};
    const QString base = salida.absoluteDir().filePath(salida.completeBaseName());
    return completarColocacion(
        { salidaXlsx, base + QStringLiteral(".csv"), base + QStringLiteral(".pdf") }, completada);
}
