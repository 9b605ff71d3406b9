const done = arguments[arguments.length - 1];
let m;
try { m = ChromeUtils.importESModule("moz-src:///toolkit/components/search/SearchService.sys.mjs"); }
catch (e) { m = ChromeUtils.importESModule("resource://gre/modules/SearchService.sys.mjs"); }
const search = m.SearchService;
(async () => {
  await search.init();
  await search.addUserEngine({name: "Wikipedia (en) mine", url: "https://en.wikipedia.org/w/index.php?title=Special:Search&search=%s", alias: "wp"});
  await search.addUserEngine({name: "Café Lexicon", url: "https://lexicon.example.org/find?q=%s&in=latin", alias: "cl"});
  const r = await search.addUserEngine({name: "Posted form", url: "https://post.example.org/search", method: "POST", postData: "q=%s"}).then(() => "ok", x => String(x));
  const engines = await search.getEngines();
  done([typeof search.addUserEngine, r, engines.map(x => x.name + "/" + x.aliases)]);
})().catch(e => done("error " + e));
