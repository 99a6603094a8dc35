#pragma once

#include <optional>

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <string>
#include <vector>

// A streaming tokenizer for the XML of workbook parts, strict and without recursion: start
// and end tags, attributes and text, with the five predefined entities, character
// references, CDATA, comments and processing instructions. A document type declaration (and
// with it any other entity) is refused, as is anything not well formed. Element and attribute
// names are given without their prefix, as the parts of a workbook are read by local name.
class TokenizadorXml {
public:
    enum class Token { Falta, Inicio, Fin, Texto };

    explicit TokenizadorXml(int maxProfundidad);

    // Adds the next piece of the document; `terminar` says there is no more.
    void agregar(const char *datos, qint64 largo);
    void terminar() { m_final = true; }

    // The next token, or Falta when it needs more data, the document ended or is refused.
    Token siguiente();
    bool malFormado() const { return m_error; }
    bool demasiadoProfundo() const { return m_profundo; }
    bool completo() const { return m_raizCerrada; }

    // The current start or end tag: its name without prefix, and its prefix.
    bool es(QByteArrayView nombre) const { return iguales(m_nombre, nombre); }
    QByteArrayView prefijo() const { return m_prefijo; }
    QByteArrayView nombre() const { return m_nombre; }
    // The decoded value of an attribute of the current start tag, by name without prefix;
    // null when the tag has none of that name.
    QString atributo(QByteArrayView nombre) const;
    // The value as it stands in the document, entities undecoded: enough for values that are
    // plain ASCII, such as cell references, when it holds no '&'. Null when absent.
    QByteArrayView atributoCrudo(QByteArrayView nombre) const;
    // The decoded text of the current text token.
    const QString &texto() const { return m_texto; }

    // Names are short: compared byte by byte, without a call to memcmp.
    static bool iguales(QByteArrayView a, QByteArrayView b)
    {
        if (a.size() != b.size())
            return false;
        for (qsizetype i = 0; i < a.size(); ++i) {
            if (a.data()[i] != b.data()[i])
                return false;
        }
        return true;
    }

private:
    // A byte of the document, read without the copy-on-write check of QByteArray's [].
    char en(qsizetype i) const { return m_datos.constData()[i]; }
    Token fallar();
    Token etiqueta(qsizetype fin);
    std::optional<bool> leerAtributos(qsizetype i, qsizetype fin);
    // The steps of `siguiente`; no token when they only moved past something.
    Token esperar();
    std::optional<Token> textoLlano();
    std::optional<Token> instruccion();
    std::optional<Token> declaracion();
    Token etiquetaEntera();
    bool leerNombre(
        qsizetype &i, qsizetype fin, QByteArrayView *nombre, QByteArrayView *prefijo) const;
    // The text of `crudo` decoded into `destino`, whose room is reused from token to token;
    // false when it holds a reference the document may not have.
    bool decodificar(QByteArrayView crudo, bool enAtributo, QString &destino) const;
    void compactar();
    QByteArrayView abierto() const;
    void cerrarElemento();

    struct Atributo {
        QByteArrayView nombre;
        QByteArrayView valor;
    };

    QByteArray m_datos;
    qsizetype m_pos = 0;
    bool m_final = false;
    bool m_comienzoVisto = false; // the byte order mark, if any, is behind
    bool m_error = false;
    bool m_profundo = false;
    bool m_raizAbierta = false;
    bool m_raizCerrada = false;
    bool m_finPendiente = false;
    int m_maxProfundidad;
    // The qualified names of the open elements, one after the other, and where each ends.
    std::string m_abiertos;
    std::vector<qsizetype> m_finales;
    QByteArrayView m_nombre;
    QByteArrayView m_prefijo;
    std::vector<Atributo> m_atributos;
    QString m_texto;
};
