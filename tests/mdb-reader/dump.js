// node dump.js FILE TABLE [COLUMN,...]: prints the table (all columns, or those named) as
// mdb-reader reads it, as JSON:
// {"rowCount": <stored row count>, "tables": [all user table names],
//  "columns": [{"name", "type", "size"}], "rows": [[value, ...], ...]}
// Values keep their exact form: null, true/false, strings for text, memo and currency, and every
// number as a string that reads back to the same double ("-0", "NaN", "Infinity" included); a
// date is its time in milliseconds since 1970 as mdb-reader computes it.
import { readFileSync } from "node:fs";
import MDBReader from "mdb-reader";

const [file, tableName, only] = process.argv.slice(2);
if (!file || !tableName) {
  console.error("usage: node dump.js FILE TABLE [COLUMN,...]");
  process.exit(2);
}

function exact(value) {
  if (value === null || typeof value === "boolean" || typeof value === "string") return value;
  if (typeof value === "number") return Object.is(value, -0) ? "-0" : String(value);
  if (value instanceof Date) return String(value.getTime());
  throw new Error(`unexpected value ${value}`);
}

const reader = new MDBReader(readFileSync(file));
const table = reader.getTable(tableName);
const wanted = only === undefined ? null : only.split(",");
const columns = table.getColumns().filter((column) => !wanted || wanted.includes(column.name));
const rows = table
  .getData({ columns: columns.map((column) => column.name) })
  .map((row) => columns.map((column) => exact(row[column.name])));
process.stdout.write(
  JSON.stringify({
    rowCount: table.rowCount,
    tables: reader.getTableNames(),
    columns: columns.map(({ name, type, size }) => ({ name, type, size })),
    rows,
  }),
);
