#include "PaqueteXlsx.h"

#include <QFile>

#include <QHash>
#include <QStringList>
#include <iterator>

#include <zip.h>

#include <algorithm>
#include <cmath>

QString nombreColumna(int columna)
{
    QString nombre;
    while (columna > 0) {
        const int resto = (columna - 1) % 26;
        nombre.prepend(QChar('A' + resto));
        columna = (columna - 1) / 26;
    }
    return nombre;
}

QString textoCausaLibro(CausaFallo causa)
{
    switch (causa) {
    case CausaFallo::EnUso:
        return QStringLiteral("otro programa de la estación está guardando el mismo libro");
    case CausaFallo::LibroIlegible:
        return QStringLiteral("el libro de resultados del alumno está dañado; no se lo reemplazó");
    case CausaFallo::LibroNoArmado:
        return QStringLiteral("no se pudo armar el libro nuevo; el anterior quedó como estaba");
    case CausaFallo::LibroNoEscrito:
        return QStringLiteral("no se pudo escribir el libro nuevo en el disco");
    case CausaFallo::CeldaNoRepresentable:
        return QStringLiteral("un dato no se puede guardar en el libro; no se escribió nada");
    case CausaFallo::NoSePuedeAbrir:
        return QStringLiteral("no se puede abrir el archivo");
    case CausaFallo::NoEsZip:
        return QStringLiteral("no es un libro .xlsx");
    case CausaFallo::DemasiadasPartes:
        return QStringLiteral("demasiadas partes en el libro");
    case CausaFallo::FaltaParte:
        return QStringLiteral("falta una parte del libro");
    case CausaFallo::ParteDemasiadoGrande:
        return QStringLiteral("parte del libro demasiado grande");
    case CausaFallo::ParteDanada:
        return QStringLiteral("parte del libro dañada");
    case CausaFallo::XmlMalFormado:
        return QStringLiteral("XML mal formado");
    case CausaFallo::AnidamientoExcesivo:
        return QStringLiteral("elementos anidados en exceso");
    case CausaFallo::SinLibro:
        return QStringLiteral("el paquete no declara un libro");
    case CausaFallo::DestinoFueraDelPaquete:
        return QStringLiteral("una relación apunta fuera del paquete");
    case CausaFallo::SinHoja:
        return QStringLiteral("el libro no tiene la hoja pedida");
    case CausaFallo::SinDatosDeCeldas:
        return QStringLiteral("la hoja no tiene datos de celdas");
    case CausaFallo::DemasiadasCadenas:
        return QStringLiteral("demasiadas cadenas compartidas");
    case CausaFallo::IndiceDeCadenaInvalido:
        return QStringLiteral("índice de cadena compartida inválido");
    case CausaFallo::ReferenciaInvalida:
        return QStringLiteral("referencia de celda inválida");
    case CausaFallo::FilasDesordenadas:
        return QStringLiteral("filas repetidas o fuera de orden");
    case CausaFallo::CeldasDesordenadas:
        return QStringLiteral("celdas repetidas o fuera de orden");
    case CausaFallo::NumeroInvalido:
        return QStringLiteral("número inválido en una celda");
    case CausaFallo::DemasiadasCeldas:
        return QStringLiteral("demasiadas celdas");
    case CausaFallo::TextoDemasiadoLargo:
        return QStringLiteral("una celda supera los 32.767 caracteres");
    default:
        return {};
    }
}

PaqueteXlsx::PaqueteXlsx(const QByteArray &bytes)
    : m_bytes(bytes)
{
    zip_error_t err;
    zip_error_init(&err);
    zip_source_t *fuente
        = zip_source_buffer_create(m_bytes.constData(), zip_uint64_t(m_bytes.size()), 0, &err);
    zip_error_fini(&err);
    abrir(fuente);
}

PaqueteXlsx PaqueteXlsx::deArchivo(const QString &ruta)
{
    PaqueteXlsx paquete;
    zip_error_t err;
    zip_error_init(&err);
    const QByteArray nativa = QFile::encodeName(ruta);
    zip_source_t *fuente = zip_source_file_create(nativa.constData(), 0, -1, &err);
    zip_error_fini(&err);
    if (!fuente) {
        paquete.m_estado = CausaFallo::NoSePuedeAbrir;
        return paquete;
    }
    paquete.abrir(fuente);
    return paquete;
}

void PaqueteXlsx::abrir(zip_source_t *fuente)
{
    if (!fuente)
        return;
    zip_error_t err;
    zip_error_init(&err);
    m_zip = zip_open_from_source(fuente, ZIP_RDONLY | ZIP_CHECKCONS, &err);
    zip_error_fini(&err);
    if (!m_zip) {
        zip_source_free(fuente);
        m_estado = CausaFallo::NoEsZip;
        return;
    }
    const zip_int64_t entradas = zip_get_num_entries(m_zip, 0);
    // An empty archive is no workbook, however valid as a zip.
    m_estado = entradas <= 0                   ? CausaFallo::NoEsZip
        : entradas > limitesXlsx::kMaxEntradas ? CausaFallo::DemasiadasPartes
                                               : CausaFallo::Ninguna;
}

PaqueteXlsx::PaqueteXlsx(PaqueteXlsx &&otro) noexcept
    : m_bytes(std::move(otro.m_bytes))
    , m_zip(otro.m_zip)
    , m_estado(otro.m_estado)
{
    otro.m_zip = nullptr;
}

PaqueteXlsx::~PaqueteXlsx()
{
    if (m_zip)
        zip_discard(m_zip);
}

Resultado PaqueteXlsx::leerParte(const QString &nombre, qint64 maxBytes,
    const std::function<bool(const char *, qint64)> &alBloque) const
{
    if (m_estado != CausaFallo::Ninguna)
        return falloLibro(m_estado);
    const QByteArray clave = nombre.toUtf8();
    const zip_int64_t indice = zip_name_locate(m_zip, clave.constData(), 0);
    if (indice < 0)
        return falloLibro(CausaFallo::FaltaParte);
    zip_stat_t st;
    zip_stat_init(&st);
    if (zip_stat_index(m_zip, zip_uint64_t(indice), 0, &st) != 0)
        return falloLibro(CausaFallo::ParteDanada);
    if ((st.valid & ZIP_STAT_SIZE) && st.size > zip_uint64_t(maxBytes))
        return falloLibro(CausaFallo::ParteDemasiadoGrande);
    zip_file_t *archivo = zip_fopen_index(m_zip, zip_uint64_t(indice), 0);
    if (!archivo)
        return falloLibro(CausaFallo::ParteDanada);
    CausaFallo resultado = CausaFallo::Ninguna;
    qint64 total = 0;
    char bloque[65536];
    for (;;) {
        const zip_int64_t leidos = zip_fread(archivo, bloque, sizeof bloque);
        if (leidos < 0) {
            resultado = CausaFallo::ParteDanada;
            break;
        }
        if (leidos == 0)
            break;
        total += leidos;
        // The declared size may lie: the limit holds on what really comes out.
        if (total > maxBytes) {
            resultado = CausaFallo::ParteDemasiadoGrande;
            break;
        }
        if (!alBloque(bloque, leidos))
            break;
    }
    zip_fclose(archivo);
    return falloLibro(resultado);
}

bool PaqueteXlsx::tieneParte(const QString &nombre) const
{
    return m_zip && zip_name_locate(m_zip, nombre.toUtf8().constData(), 0) >= 0;
}

Resultado PaqueteXlsx::leerParte(const QString &nombre, QByteArray *contenido) const
{
    contenido->clear();
    return leerParte(
        nombre, limitesXlsx::kMaxBytesParte, [contenido](const char *datos, qint64 largo) {
            contenido->append(datos, largo);
            return true;
        });
}

Resultado recorrerXml(const PaqueteXlsx &paquete, const QString &parte, qint64 maxBytes,
    const std::function<Resultado(const TokenizadorXml &, TokenizadorXml::Token)> &alToken)
{
    TokenizadorXml lector(limitesXlsx::kMaxProfundidad);
    Resultado resultado;
    // Tokens are taken as the pieces arrive; a token cut between two pieces waits for the
    // next one.
    auto consumir = [&]() {
        while (resultado.ok() && !lector.completo()) {
            const TokenizadorXml::Token token = lector.siguiente();
            if (token == TokenizadorXml::Token::Falta)
                return;
            resultado = alToken(lector, token);
        }
    };
    // The part is read to its end even when the document ends early: only there does the
    // archive check its checksum.
    const auto alBloque = [&](const char *datos, qint64 largo) {
        if (lector.completo())
            return true;
        lector.agregar(datos, largo);
        consumir();
        return resultado.ok() && !lector.malFormado();
    };
    if (const Resultado lectura = paquete.leerParte(parte, maxBytes, alBloque); !lectura.ok())
        return lectura;
    if (!resultado.ok())
        return resultado;
    if (!lector.completo() && !lector.malFormado()) {
        lector.terminar();
        consumir();
        if (!resultado.ok())
            return resultado;
    }
    if (lector.demasiadoProfundo())
        return falloLibro(CausaFallo::AnidamientoExcesivo);
    if (!lector.completo() || lector.malFormado())
        return falloLibro(CausaFallo::XmlMalFormado);
    return {};
}

namespace {

// Resolves a relationship target against the folder of the part that names it. Targets
// that climb out of the package are refused: the answer is then empty, as no part's is.
QString resolverDestino(const QString &carpetaBase, const QString &destino)
{
    if (destino.isEmpty() || destino.contains(QLatin1Char('\\'))
        || destino.contains(QLatin1Char(':')))
        return {};
    QStringList piezas;
    if (!destino.startsWith(QLatin1Char('/')) && !carpetaBase.isEmpty())
        piezas = carpetaBase.split(QLatin1Char('/'), Qt::SkipEmptyParts);
    for (const QString &pieza : destino.split(QLatin1Char('/'), Qt::SkipEmptyParts)) {
        if (pieza == QLatin1String("."))
            continue;
        if (pieza == QLatin1String("..")) {
            if (piezas.isEmpty())
                return {};
            piezas.removeLast();
            continue;
        }
        piezas << pieza;
    }
    if (piezas.isEmpty())
        return {};
    return piezas.join(QLatin1Char('/'));
}

QString carpetaDe(const QString &parte)
{
    const int barra = parte.lastIndexOf(QLatin1Char('/'));
    return barra < 0 ? QString() : parte.left(barra);
}

QString relacionesDe(const QString &parte)
{
    const QString carpeta = carpetaDe(parte);
    const QString nombre = parte.mid(carpeta.isEmpty() ? 0 : carpeta.size() + 1);
    return (carpeta.isEmpty() ? QString() : carpeta + QLatin1Char('/')) + QStringLiteral("_rels/")
        + nombre + QStringLiteral(".rels");
}

struct Relacion {
    QString tipo;
    QString destino;
};

Resultado leerRelaciones(
    const PaqueteXlsx &paquete, const QString &parte, QHash<QString, Relacion> *relaciones)
{
    using Token = TokenizadorXml::Token;
    return recorrerXml(
        paquete, parte, limitesXlsx::kMaxBytesParte, [&](const TokenizadorXml &x, Token t) {
            if (t == Token::Inicio && x.es("Relationship")
                && x.atributo("TargetMode") != QLatin1String("External"))
                relaciones->insert(x.atributo("Id"), { x.atributo("Type"), x.atributo("Target") });
            return Resultado();
        });
}

} // namespace

Resultado PaqueteXlsx::buscarHoja(
    const QString &nombreHoja, QString *parteHoja, QString *parteCadenas) const
{
    if (m_estado != CausaFallo::Ninguna)
        return falloLibro(m_estado);
    QHash<QString, Relacion> relaciones;
    if (const Resultado e = leerRelaciones(*this, QStringLiteral("_rels/.rels"), &relaciones);
        !e.ok())
        return e;
    QString parteLibro;
    for (const Relacion &r : std::as_const(relaciones)) {
        if (r.tipo.endsWith(QLatin1String("/officeDocument"))) {
            parteLibro = resolverDestino(QString(), r.destino);
            if (parteLibro.isEmpty())
                return falloLibro(CausaFallo::DestinoFueraDelPaquete);
            break;
        }
    }
    if (parteLibro.isEmpty())
        return falloLibro(CausaFallo::SinLibro);

    QHash<QString, Relacion> relLibro;
    if (const Resultado e = leerRelaciones(*this, relacionesDe(parteLibro), &relLibro); !e.ok())
        return e;
    QString idHoja;
    using Token = TokenizadorXml::Token;
    const Resultado e = recorrerXml(
        *this, parteLibro, limitesXlsx::kMaxBytesParte, [&](const TokenizadorXml &x, Token t) {
            // The sheet's relationship is its "id" attribute, whatever prefix it carries.
            if (idHoja.isEmpty() && t == Token::Inicio && x.es("sheet")
                && x.atributo("name") == nombreHoja)
                idHoja = x.atributo("id");
            return Resultado();
        });
    if (!e.ok())
        return e;
    if (idHoja.isEmpty() || !relLibro.contains(idHoja))
        return falloLibro(CausaFallo::SinHoja);

    const QString base = carpetaDe(parteLibro);
    *parteHoja = resolverDestino(base, relLibro.value(idHoja).destino);
    if (parteHoja->isEmpty())
        return falloLibro(CausaFallo::DestinoFueraDelPaquete);
    parteCadenas->clear();
    for (const Relacion &r : std::as_const(relLibro)) {
        if (r.tipo.endsWith(QLatin1String("/sharedStrings"))) {
            *parteCadenas = resolverDestino(base, r.destino);
            if (parteCadenas->isEmpty())
                return falloLibro(CausaFallo::DestinoFueraDelPaquete);
            break;
        }
    }
    return Resultado();
}

void HuellaCeldas::agregar(int fila, int columna, const Celda &celda)
{
    if (celda.tipo == Celda::Tipo::Texto && celda.texto.isEmpty())
        return;
    const bool esNumero = celda.tipo == Celda::Tipo::Numero;
    // FNV-1a over the position, the kind and, for a text, its UTF-16 units.
    quint64 h = 14695981039346656037ull;
    auto mezclar = [&h](quint64 v) {
        h ^= v;
        h *= 1099511628211ull;
    };
    mezclar(quint64(quint32(fila)));
    mezclar(quint64(quint32(columna)));
    mezclar(esNumero ? 'N' : 'T');
    if (!esNumero) {
        for (const QChar c : celda.texto)
            mezclar(c.unicode());
    }
    m_suma += h;
    m_mezcla += h * h + (h >> 29);
    ++m_celdas;
    if (esNumero) {
        const double peso = 1.0 + double(h >> 11) / double(1ull << 53);
        m_numeros += celda.numero * peso;
        m_magnitud += std::fabs(celda.numero) * peso;
    }
}

bool HuellaCeldas::coincide(const HuellaCeldas &otra) const
{
    return m_suma == otra.m_suma && m_mezcla == otra.m_mezcla && m_celdas == otra.m_celdas
        && std::fabs(m_numeros - otra.m_numeros)
        <= 1e-12 * (1 + std::max(m_magnitud, otra.m_magnitud))
        && std::fabs(m_magnitud - otra.m_magnitud)
        <= 1e-12 * (1 + std::max(m_magnitud, otra.m_magnitud));
}

namespace {

// The bytes of a package built in memory, into `bytes` (empty when they cannot be read);
// the source is freed either way.
bool volcarFuente(zip_source_t *fuente, QByteArray *bytes)
{
    bytes->clear();
    zip_stat_t st;
    zip_stat_init(&st);
    bool bien = zip_source_stat(fuente, &st) == 0 && (st.valid & ZIP_STAT_SIZE)
        && zip_source_open(fuente) == 0;
    if (bien) {
        bytes->resize(qsizetype(st.size));
        bien = zip_source_read(fuente, bytes->data(), st.size) == zip_int64_t(st.size);
        zip_source_close(fuente);
    }
    zip_source_free(fuente);
    if (!bien)
        bytes->clear();
    return bien;
}

} // namespace

Resultado PaqueteXlsx::conParteReemplazada(
    const QString &parte, const QByteArray &contenido, QByteArray *nuevo) const
{
    return conPartes({ { parte, contenido } }, nuevo);
}

namespace {

// Adds part `nombre` to `z`: `contenido` compressed from memory, but for a small part, which
// compression would not make smaller and whose readers would pay for it, and for the custom
// properties, which hold hashes and signatures that hardly compress and which every collection
// of results reads; without it, entry `i` of `origen` copied as it is.
bool agregarParte(
    zip_t *z, zip_t *origen, const QByteArray &nombre, const QByteArray *contenido, zip_int64_t i)
{
    constexpr qsizetype kParteChica = 1024;
    zip_source_t *fuente = contenido
        ? zip_source_buffer(z, contenido->constData(), zip_uint64_t(contenido->size()), 0)
        : zip_source_zip(z, origen, zip_uint64_t(i), 0, 0, -1);
    if (!fuente)
        return false;
    const zip_int64_t indice = zip_file_add(z, nombre.constData(), fuente, ZIP_FL_ENC_UTF_8);
    if (indice < 0) {
        zip_source_free(fuente);
        return false;
    }
    return !contenido
        || zip_set_file_compression(z, zip_uint64_t(indice),
               contenido->size() < kParteChica || nombre == "docProps/custom.xml" ? ZIP_CM_STORE
                                                                                  : ZIP_CM_DEFLATE,
               0)
        == 0;
}

} // namespace

Resultado PaqueteXlsx::conPartes(
    const std::map<QString, QByteArray> &partes, QByteArray *nuevo) const
{
    // Built in memory: nothing is staged anywhere on disk.
    zip_error_t err;
    zip_error_init(&err);
    zip_source_t *destino = zip_source_buffer_create(nullptr, 0, 0, &err);
    zip_t *z = destino ? zip_open_from_source(destino, ZIP_CREATE | ZIP_TRUNCATE, &err) : nullptr;
    if (!z) {
        const QString texto = QString::fromUtf8(zip_error_strerror(&err));
        zip_error_fini(&err);
        if (destino)
            zip_source_free(destino);
        return falloLibro(CausaFallo::LibroNoArmado,
            QStringLiteral("no se pudo preparar el libro: %1").arg(texto));
    }
    zip_error_fini(&err);
    zip_source_keep(destino);
    auto abandonar = [&](const QString &que) {
        const QString texto = QString::fromUtf8(zip_strerror(z));
        zip_discard(z);
        zip_source_free(destino);
        return falloLibro(CausaFallo::LibroNoArmado, QStringLiteral("%1: %2").arg(que, texto));
    };
    std::map<QString, QByteArray> pendientes = partes;
    const zip_int64_t entradas = zip_get_num_entries(m_zip, 0);
    for (zip_int64_t i = 0; i < entradas; ++i) {
        const char *nombre = zip_get_name(m_zip, zip_uint64_t(i), 0);
        if (!nombre)
            return abandonar(QStringLiteral("parte sin nombre"));
        const auto dada = pendientes.find(QString::fromUtf8(nombre));
        if (!agregarParte(z, m_zip, QByteArray(nombre),
                dada == pendientes.end() ? nullptr : &dada->second, i))
            return abandonar(QStringLiteral("no se pudo copiar %1").arg(QString::fromUtf8(nombre)));
        if (dada != pendientes.end())
            pendientes.erase(dada);
    }
    // Parts the package did not have go after the others.
    for (const auto &[nombre, contenido] : pendientes) {
        if (!agregarParte(z, m_zip, nombre.toUtf8(), &contenido, -1))
            return abandonar(QStringLiteral("no se pudo agregar %1").arg(nombre));
    }
    if (zip_close(z) != 0)
        return abandonar(QStringLiteral("no se pudo armar el libro"));

    if (!volcarFuente(destino, nuevo))
        return falloLibro(
            CausaFallo::LibroNoArmado, QStringLiteral("no se pudo leer el libro armado"));
    return {};
}

QString PaqueteXlsx::primeraDiferencia(const PaqueteXlsx &otro, const QStringList &excepto) const
{
    if (m_estado != CausaFallo::Ninguna || otro.m_estado != CausaFallo::Ninguna)
        return QStringLiteral("el paquete no se abre");
    const zip_int64_t n = zip_get_num_entries(m_zip, 0);
    const zip_int64_t m = zip_get_num_entries(otro.m_zip, 0);
    if (m < n)
        return QStringLiteral("cantidad de partes");
    for (zip_int64_t i = n; i < m; ++i) {
        const char *nombre = zip_get_name(otro.m_zip, zip_uint64_t(i), 0);
        if (!nombre || !excepto.contains(QString::fromUtf8(nombre)))
            return QStringLiteral("parte %1 agregada").arg(i);
    }
    for (zip_int64_t i = 0; i < n; ++i) {
        zip_stat_t sa, sb;
        if (zip_stat_index(m_zip, zip_uint64_t(i), 0, &sa) != 0
            || zip_stat_index(otro.m_zip, zip_uint64_t(i), 0, &sb) != 0
            || qstrcmp(sa.name, sb.name) != 0)
            return QStringLiteral("parte %1").arg(i);
        if (excepto.contains(QString::fromUtf8(sa.name)))
            continue;
        if (sa.size != sb.size || sa.crc != sb.crc)
            return QString::fromUtf8(sa.name);
    }
    return {};
}
