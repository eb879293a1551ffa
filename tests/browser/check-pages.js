// Renders omf's HTML pages through the built omf command, opens them in headless Chromium and checks
// them in the live page: the outline's links and collapsing, the hidden-parts switch, the layer
// selector, pivoting, headings, table captions and header scopes, no console errors; and the pages'
// HTML validity and the accessibility basics. Screenshots go to the output folder.
//
// node check-pages.js OMF OUTDIR      (CHROMIUM names the browser; /usr/bin/chromium otherwise)
"use strict";

const fs = require("fs");
const path = require("path");
const { execFileSync } = require("child_process");
const puppeteer = require("puppeteer-core");
const { HtmlValidate, FileSystemConfigLoader } = require("html-validate");
const axeSource = require("axe-core").source;

const [omf, outDir] = process.argv.slice(2);
if (!omf || !outDir) {
  console.error("usage: node check-pages.js OMF OUTDIR");
  process.exit(2);
}
fs.mkdirSync(outDir, { recursive: true });

let passed = 0;
let failed = 0;
function check(name, ok, detail) {
  if (ok) {
    passed++;
    console.log(`ok - ${name}`);
  } else {
    failed++;
    console.log(`not ok - ${name}${detail ? `: ${detail}` : ""}`);
  }
}

function run(...args) {
  return execFileSync(omf, args, { stdio: ["ignore", "pipe", "pipe"] });
}

// A crosstab of Region (rows) by Gender (columns) in three Age group layers; cell (layer l, region r,
// gender g) holds 100 l + 10 r + g, so that every cell tells where it belongs.
const regions = ["North", "South", "East", "West"];
const genders = ["Male", "Female"];
const ages = ["Under 30", "30 to 59", "60 and over"];
const longRegions = Array.from({ length: 3000 }, (_, r) => `Region ${r + 1}`);
function crosstabScript(regions, genders, ages) {
  const lines = [
    'procedure-begin number=1 settings="procedure=Crosstabs\\nlanguage=English\\ncodepage=UTF-8\\nlocale=en_US\\n"',
    'string slot=1 text="Crosstabs"',
    "text-block slot=1",
    'text lines=1 text="Crosstabs"',
    'string slot=1 text="Region * Gender * Age group Crosstabulation"',
    'string slot=2 text="Crosstabulation"',
    "table-begin tcid=0 label=1 subtype=2",
  ];
  const variable = { region: "Region", sex: "Gender", agegroup: "Age group" };
  const v = (name) => `variable slot=2 mode=unset name="${name}" label="${variable[name]}"`;
  for (const name of ["region", "sex", "agegroup"]) lines.push(v(name), "dimension tcid=0 dimension=2");
  lines.push(v("region"), "place tcid=0 dimension=2 position=1 axis=rows");
  lines.push(v("sex"), "place tcid=0 dimension=2 position=1 axis=columns");
  lines.push(v("agegroup"), "place tcid=0 dimension=2 position=1 axis=layers");
  lines.push('string slot=5 text="Count"', "corner tcid=0 slot=5");
  ages.forEach((age, l) => {
    lines.push(`value slot=1 mode=unset format=F4 variable="agegroup" value=${l + 1} label="${age}"`);
    lines.push(v("agegroup"), "category tcid=0 category=1 dimension=2");
    regions.forEach((region, r) => {
      lines.push(`value slot=1 mode=unset format=F4 variable="region" value=${r + 1} label="${region}"`);
      lines.push(v("region"), "category tcid=0 category=1 dimension=2");
      genders.forEach((gender, g) => {
        lines.push(v("sex"), "cell-dimension tcid=0 dimension=2");
        lines.push(`number value=${100 * l + 10 * r + g} format=F5 slot=3`);
        lines.push(`value slot=4 mode=unset format=F4 variable="sex" value=${g + 1} label="${gender}"`);
        lines.push("cell tcid=0 cell=3 category=4");
      });
    });
  });
  lines.push("table-end tcid=0", 'procedure-end part=0,""');
  return lines.join("\n") + "\n";
}

function renderPages() {
  const builtin = path.join(outDir, "builtin.html");
  run("render", "--format", "html", "-o", builtin);
  // The same session with only its Statistics tables selected: the procedures holding them are hidden.
  const select = path.join(outDir, "statistics-only.txt");
  fs.writeFileSync(select, 'select tables\n  if subtypes "Statistics"\nend\n');
  const hidden = path.join(outDir, "builtin-hidden.html");
  run("render", "--format", "html", "--select", select, "-o", hidden);
  const script = path.join(outDir, "crosstab.txt");
  fs.writeFileSync(script, crosstabScript(regions, genders, ages));
  const stream = path.join(outDir, "crosstab.omfs");
  run("assemble", script, "-o", stream);
  const crosstab = path.join(outDir, "crosstab.html");
  run("render", "--format", "html", "-o", crosstab, stream);
  // A long table, more than the page draws as it opens.
  const longScript = path.join(outDir, "long.txt");
  fs.writeFileSync(longScript, crosstabScript(longRegions, genders, ["All ages"]));
  const longStream = path.join(outDir, "long.omfs");
  run("assemble", longScript, "-o", longStream);
  const long = path.join(outDir, "long.html");
  run("render", "--format", "html", "-o", long, longStream);
  return { builtin, hidden, crosstab, long };
}

async function validate(files) {
  const validator = new HtmlValidate({
    extends: ["html-validate:recommended"],
    rules: {
      // The page's style sheet and script are inline by design: the page needs nothing but itself.
      "no-inline-style": "off",
      "require-sri": "off",
      // Cell texts are the back end's; a label may well repeat, and a number may stand alone.
      "no-redundant-role": "off",
      "long-title": "off",
    },
  });
  for (const file of files) {
    const report = await validator.validateFile(file);
    const messages = report.results.flatMap((r) => r.messages).slice(0, 10);
    check(
      `${path.basename(file)} is valid HTML`,
      report.valid,
      messages.map((m) => `${m.line}:${m.column} ${m.ruleId} ${m.message}`).join("; "),
    );
  }
}

// What a reader sees of the table on screen: the texts of its body rows, header cells left out.
function visibleCells(page, selector) {
  return page.$eval(selector, (box) => {
    const table = [...box.querySelectorAll("table.layer")].find((t) => t.offsetParent !== null);
    return [...table.tBodies[0].rows].map((tr) => [...tr.cells].filter((c) => c.tagName === "TD" && !c.classList.contains("blank")).map((c) => c.textContent));
  });
}

async function commonChecks(page, name) {
  const headings = await page.$$eval("h1,h2,h3,h4,h5,h6", (hs) =>
    hs.filter((h) => h.offsetParent !== null).map((h) => Number(h.tagName[1])),
  );
  const jumps = headings.filter((h, i) => (i === 0 ? h !== 1 : h > headings[i - 1] + 1));
  check(`${name}: headings start at h1 and never skip a level`, headings.length > 0 && jumps.length === 0, headings.join(","));
  const tables = await page.$$eval("table", (ts) =>
    ts.map((t) => ({
      caption: !!t.caption && t.caption.textContent.trim() !== "",
      unscoped: [...t.querySelectorAll("th")].filter((th) => !th.getAttribute("scope")).length,
    })),
  );
  check(`${name}: every table has a caption`, tables.length > 0 && tables.every((t) => t.caption));
  check(`${name}: every header cell has a scope`, tables.every((t) => t.unscoped === 0));
  const lang = await page.$eval("html", (h) => h.lang);
  check(`${name}: the page names its language`, lang === "en", lang);

  await page.addScriptTag({ content: axeSource });
  const axe = await page.evaluate(async () => {
    const r = await window.axe.run(document, { resultTypes: ["violations"] });
    return r.violations.map((v) => `${v.id} (${v.impact}): ${v.nodes.length} x ${v.nodes[0].target}`);
  });
  check(`${name}: no accessibility violations`, axe.length === 0, axe.join("; "));
}

async function open(browser, file, errors) {
  const page = await browser.newPage();
  await page.setViewport({ width: 1300, height: 900 });
  page.on("console", (m) => {
    if (m.type() === "error") errors.push(m.text());
  });
  page.on("pageerror", (e) => errors.push(String(e)));
  page.on("requestfailed", (r) => errors.push(`request failed: ${r.url()}`));
  page.on("request", (r) => {
    if (!r.url().startsWith("file:")) errors.push(`the page asked for ${r.url()}`);
  });
  await page.goto(`file://${file}`, { waitUntil: "load" });
  return page;
}

async function builtinChecks(browser, file) {
  const errors = [];
  const page = await open(browser, file, errors);
  await page.screenshot({ path: path.join(outDir, "builtin.png") });

  // An outline entry far down the page brings its part into view.
  const links = await page.$$("nav a");
  const last = links[links.length - 1];
  const target = await last.evaluate((a) => a.getAttribute("href").slice(1));
  const before = await page.$eval(`#${target}`, (e) => e.getBoundingClientRect().top);
  await last.click();
  await new Promise((r) => setTimeout(r, 100));
  const after = await page.$eval(`#${target}`, (e) => {
    const box = e.getBoundingClientRect();
    return { top: box.top, bottom: box.bottom, height: window.innerHeight };
  });
  check(
    "builtin: clicking an outline entry brings its part into view",
    before > after.height && after.top >= 0 && after.top < after.height,
    JSON.stringify({ before, after }),
  );
  await page.screenshot({ path: path.join(outDir, "builtin-outline-click.png") });

  // Collapsing an entry hides the entries below it; expanding shows them again.
  const shown = () =>
    page.$$eval("nav li:has(> button.tw)", (lis) => {
      const li = lis.find((l) => l.querySelector(":scope > a").textContent === "Crosstabs");
      return [...li.querySelectorAll(":scope > ul a")].map((a) => a.offsetParent !== null);
    });
  const open1 = await shown();
  const toggle = await page.evaluateHandle(() =>
    [...document.querySelectorAll("nav li > button.tw")].find(
      (b) => b.parentNode.querySelector(":scope > a").textContent === "Crosstabs",
    ),
  );
  await toggle.click();
  const closed = await shown();
  const expanded = await toggle.evaluate((b) => b.getAttribute("aria-expanded"));
  check(
    "builtin: collapsing an outline entry hides its children",
    open1.length > 0 && open1.every((v) => v) && closed.every((v) => !v) && expanded === "false",
    JSON.stringify({ open1, closed, expanded }),
  );
  await toggle.click();
  check("builtin: expanding shows them again", (await shown()).every((v) => v));

  // Footnote marks of numbers stand outside the number: the numbers of a column end at one edge.
  const edges = await page.evaluate(() => {
    const table = [...document.querySelectorAll("table")].find((t) => t.caption.textContent.startsWith("Statistics"));
    return [...table.tBodies[0].rows].map((tr) => {
      const td = tr.cells[tr.cells.length - 2];
      const range = document.createRange();
      range.selectNodeContents(td.firstChild);
      return Math.round(range.getBoundingClientRect().right);
    });
  });
  check("builtin: numbers with and without footnote marks end at the same edge", new Set(edges).size === 1, edges.join(","));

  await commonChecks(page, "builtin");
  check("builtin: no console errors", errors.length === 0, errors.join("; "));
  await page.close();
}

async function hiddenChecks(browser, file) {
  const errors = [];
  const page = await open(browser, file, errors);
  const state = () =>
    page.evaluate(() => {
      const parts = [...document.querySelectorAll(".part.hidden")];
      return { count: parts.length, shown: parts.filter((p) => p.offsetParent !== null).length };
    });
  const marked = await page.$$eval("nav li.hidden .tag", (t) => t.length);
  const off = await state();
  await page.click("#show-hidden");
  const on = await state();
  check(
    "hidden: hidden parts are marked in the outline, left out, and shown by the switch",
    off.count > 0 && marked === off.count && off.shown === 0 && on.shown === on.count,
    JSON.stringify({ marked, off, on }),
  );
  await page.screenshot({ path: path.join(outDir, "builtin-hidden-shown.png") });
  check("hidden: no console errors", errors.length === 0, errors.join("; "));
  await page.close();
}

async function crosstabChecks(browser, file) {
  const errors = [];
  const page = await open(browser, file, errors);
  const box = ".omf-table";
  const expected = (l) => regions.map((_, r) => genders.map((_, g) => String(100 * l + 10 * r + g)));
  const original = await page.$eval(`${box} .layers`, (e) => e.innerHTML);
  const first = await visibleCells(page, box);
  check("crosstab: the first layer is shown", JSON.stringify(first) === JSON.stringify(expected(0)), JSON.stringify(first));
  await page.screenshot({ path: path.join(outDir, "crosstab.png") });

  await page.select(`${box} select.layer-select`, "2");
  const third = await visibleCells(page, box);
  check("crosstab: the layer selector changes the cells shown", JSON.stringify(third) === JSON.stringify(expected(2)), JSON.stringify(third));
  const shownTables = await page.$$eval(`${box} table.layer`, (ts) => ts.filter((t) => t.offsetParent !== null).length);
  check("crosstab: one layer on screen", shownTables === 1, String(shownTables));
  await page.screenshot({ path: path.join(outDir, "crosstab-layer3.png") });

  const transposed = (m) => m[0].map((_, c) => m.map((row) => row[c]));
  // Region from rows to columns, then Gender from columns to rows: the table turns over.
  await page.click(`${box} details.pivot summary`);
  const pivot = async (dim, axis) => page.select(`${box} select.pivot-select[data-dim="${dim}"]`, axis);
  await pivot(0, "c");
  const wide = await visibleCells(page, box);
  check(
    "crosstab: a dimension moved from rows to columns puts its categories across",
    wide.length === 1 && wide[0].length === regions.length * genders.length,
    JSON.stringify(wide),
  );
  await pivot(1, "r");
  const turned = await visibleCells(page, box);
  check("crosstab: pivoting gives the transposed cells", JSON.stringify(turned) === JSON.stringify(transposed(expected(0))), JSON.stringify(turned));
  const heads = await page.$$eval(`${box} table.on thead th`, (ths) => ths.map((t) => t.textContent));
  check("crosstab: the moved dimension's label spans its categories", heads.includes("Region") && heads.includes("Gender"), heads.join(","));
  await page.screenshot({ path: path.join(outDir, "crosstab-pivoted.png") });

  await page.click(`${box} button.reset`);
  const reset = await page.$eval(`${box} .layers`, (e) => e.innerHTML);
  check("crosstab: reset draws the table exactly as the renderer drew it", reset === original);
  await page.click(`${box} button.swap`);
  const swapped = await visibleCells(page, box);
  check("crosstab: swapping rows and columns transposes", JSON.stringify(swapped) === JSON.stringify(transposed(expected(0))), JSON.stringify(swapped));
  await page.click(`${box} button.reset`);
  await page.select(`${box} select.pivot-select[data-dim="2"]`, "r");
  const stacked = await visibleCells(page, box);
  check("crosstab: a layer dimension moved to the rows shows every layer at once", stacked.length === regions.length * ages.length, String(stacked.length));

  await page.click(`${box} button.reset`);
  await commonChecks(page, "crosstab");
  check("crosstab: no console errors", errors.length === 0, errors.join("; "));
  await page.emulateMediaType("print");
  const printed = await page.$$eval(`${box} table.layer`, (ts) => ts.filter((t) => t.offsetParent !== null).length);
  check("crosstab: every layer is printed", printed === ages.length, String(printed));
  await page.close();
}

// The rows that the page leaves out as it opens are drawn once it is open, exactly as the renderer
// draws them.
async function longChecks(browser, file) {
  const written = fs.readFileSync(file, "utf8");
  const drawn = Number((/data-drawn="(\d+)"/.exec(written) || [])[1]);
  check("long: the page holds only the first rows as it opens", drawn > 0 && drawn < longRegions.length, String(drawn));
  const errors = [];
  const page = await open(browser, file, errors);
  const done = () => page.waitForFunction(() => !document.querySelector("table[data-drawn]"), { timeout: 120000 });
  await done();
  const rows = await visibleCells(page, ".omf-table");
  const last = longRegions.length - 1;
  check(
    "long: every row is drawn once the page is open",
    rows.length === longRegions.length && rows[last][1] === String(10 * last + 1),
    `${rows.length} rows, last ${JSON.stringify(rows[last])}`,
  );
  const filled = await page.$eval(".omf-table .layers", (e) => e.innerHTML);
  await page.click(".omf-table details.pivot summary");
  await page.click(".omf-table button.reset");
  await done();
  const redrawn = await page.$eval(".omf-table .layers", (e) => e.innerHTML);
  check("long: the rows drawn later are the renderer's rows", filled === redrawn);
  check("long: no console errors", errors.length === 0, errors.join("; "));
  await page.close();
}

(async () => {
  const pages = renderPages();
  await validate([pages.builtin, pages.crosstab]);
  const browser = await puppeteer.launch({
    executablePath: process.env.CHROMIUM || "/usr/bin/chromium",
    headless: true,
    args: ["--no-sandbox", "--disable-gpu", "--disable-dev-shm-usage", "--allow-file-access-from-files"],
  });
  try {
    await builtinChecks(browser, pages.builtin);
    await hiddenChecks(browser, pages.hidden);
    await crosstabChecks(browser, pages.crosstab);
    await longChecks(browser, pages.long);
  } finally {
    await browser.close();
  }
  console.log(`${passed} passed, ${failed} failed`);
  process.exit(failed === 0 ? 0 : 1);
})().catch((e) => {
  console.error(e);
  console.log(`${passed} passed, ${failed + 1} failed`);
  process.exit(1);
});
