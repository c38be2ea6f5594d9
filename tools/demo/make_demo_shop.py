#!/usr/bin/env python3
"""Describes the demo shop's two databases for mdb-write: the company database (società, inizio)
and the data database of a small Italian grocery (utenti, codean, listi01).

Usage: make_demo_shop.py OUT_FOLDER  ->  OUT_FOLDER/orbis.json, OUT_FOLDER/dati.json
The data is the same on every run (fixed seed)."""
import json
import random
import sys
from pathlib import Path

DEPARTMENTS = {
    "ALIMENTARI": ["PASTA DI SEMOLA", "RISO CARNAROLI", "PASSATA DI POMODORO", "OLIO EXTRAVERGINE",
                   "FARINA 00", "ZUCCHERO SEMOLATO", "CAFFÈ MACINATO", "BISCOTTI FROLLINI",
                   "TONNO ALL'OLIO", "LEGUMI IN SCATOLA", "ACETO BALSAMICO", "SALE FINO"],
    "LATTICINI": ["LATTE INTERO", "LATTE PARZ. SCREMATO", "MOZZARELLA", "YOGURT BIANCO",
                  "BURRO", "GRANA PADANO", "RICOTTA", "STRACCHINO", "PANNA DA CUCINA"],
    "BEVANDE": ["ACQUA NATURALE", "ACQUA FRIZZANTE", "ARANCIATA", "CHINOTTO", "VINO ROSSO",
                "BIRRA CHIARA", "SUCCO DI PESCA", "TÈ FREDDO AL LIMONE"],
    "ORTOFRUTTA": ["MELE GOLDEN", "ARANCE TAROCCO", "PATATE", "CIPOLLE DORATE", "ZUCCHINE",
                   "POMODORI CILIEGINI", "INSALATA ICEBERG", "BANANE"],
    "CASA E IGIENE": ["DETERSIVO PIATTI", "CARTA IGIENICA", "SAPONE LIQUIDO", "AMMORBIDENTE",
                      "SPUGNE", "SACCHETTI GELO"],
}
BRANDS = ["BUONGUSTO", "VALLE VERDE", "CASCINA BELLA", "SOLE D'ITALIA", "DEL CONTADINO",
          "LA MASSAIA", "PRIMAVERA"]
SIZES = ["250 G", "500 G", "1 KG", "1 L", "1,5 L", "750 ML", "6 X 1,5 L", "4 PZ", "200 G"]


def ean13(body12: str) -> str:
    total = sum(int(d) * (3 if i % 2 else 1) for i, d in enumerate(body12))
    return body12 + str((10 - total % 10) % 10)


def money(value: float) -> str:
    return f"{value:.2f}"


def articles(rng: random.Random, count: int):
    code = 1000
    for n in range(count):
        department = rng.choice(list(DEPARTMENTS))
        name = f"{rng.choice(DEPARTMENTS[department])} {rng.choice(BRANDS)} {rng.choice(SIZES)}"
        code += rng.randint(1, 7)
        price = round(rng.uniform(0.39, 18.9), 2)
        vat = "4" if department in ("ALIMENTARI", "LATTICINI", "ORTOFRUTTA") else "22"
        cost = round(price / (1 + rng.uniform(0.2, 0.6)), 2)
        markup = round((price / cost - 1) * 100, 1)
        supplier = rng.choice([f"{rng.randint(1, 999999):06d}", f"F{rng.randint(100, 999)}", None])
        yield code, name, department, vat, cost, price, markup, supplier


def main() -> None:
    out = Path(sys.argv[1])
    out.mkdir(parents=True, exist_ok=True)
    rng = random.Random(2026)

    company = {"tables": [
        {"name": "società",
         "columns": [{"name": "codute", "type": "Integer"},
                     {"name": "ragsoc", "type": "Text", "size": 50},
                     {"name": "database", "type": "Text", "size": 255}],
         "rows": [[1, "ALIMENTARI ROSSI S.N.C.", "C:\\Orbis\\Dati.mdb"]]},
        {"name": "inizio",
         "columns": [{"name": "codute", "type": "Integer"},
                     {"name": "descrizione", "type": "Text", "size": 50}],
         "rows": [[1, "AVVIO NEGOZIO"]]},
    ]}

    listino, barcodes = [], []
    for code, name, department, vat, cost, price, markup, supplier in articles(rng, 300):
        listino.append([code, name, department, vat, money(cost * (1.04 if vat == "4" else 1.22)),
                        money(price), markup, money(price if rng.random() > 0.1 else price * 0.9),
                        supplier])
        barcodes.append([None, code, ean13(f"80{rng.randint(0, 10**10 - 1):010d}")])
        if rng.random() < 0.15:  # a second barcode for the same article
            barcodes.append([None, code, ean13(f"80{rng.randint(0, 10**10 - 1):010d}")])
    for row in rng.sample(barcodes, 8):  # articles withdrawn from sale
        row[0] = 5
    barcodes.append([None, 999999, "8000000000001"])  # a barcode whose article has no price yet

    data = {"tables": [
        {"name": "utenti",
         "columns": [{"name": "codutente", "type": "Long"}, {"name": "nrpos", "type": "Integer"},
                     {"name": "codattiv", "type": "Long"},
                     {"name": "nome", "type": "Text", "size": 30}],
         "rows": [[1, 3, 12, "CASSA 3"]]},
        {"name": "codean",
         "columns": [{"name": "colare", "type": "Integer"}, {"name": "codare", "type": "Long"},
                     {"name": "eanare", "type": "Text", "size": 13}],
         "rows": barcodes},
        {"name": "listi01",
         "columns": [{"name": "codart", "type": "Long"},
                     {"name": "desart", "type": "Text", "size": 50},
                     {"name": "desrep", "type": "Text", "size": 30},
                     {"name": "ivart", "type": "Text", "size": 2},
                     {"name": "cosiva", "type": "Currency"}, {"name": "przpub", "type": "Currency"},
                     {"name": "ricart", "type": "Double"}, {"name": "przsal", "type": "Currency"},
                     {"name": "codafo", "type": "Text", "size": 16}],
         "rows": listino},
    ]}
    for name, description in (("orbis.json", company), ("dati.json", data)):
        (out / name).write_text(json.dumps(description, ensure_ascii=False, indent=1), "utf-8")


if __name__ == "__main__":
    main()
