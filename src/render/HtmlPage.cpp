#include <omf/render/HtmlPage.h>

namespace omf {

namespace render {

// Light colours by default, dark ones when the reader's system asks for them; on paper the outline and
// the page's controls go, every layer is shown and each procedure starts a page.
const char* const kHtmlStyle = R"css(
:root{color-scheme:light dark;--fg:#1b1b1b;--bg:#fff;--muted:#666;--line:#b9b9b9;--head:#f1f3f5;--link:#0b57a4;--pane:#f7f7f8;--mark:#fff3bf}
@media (prefers-color-scheme:dark){:root{--fg:#e6e6e6;--bg:#16181b;--muted:#9a9a9a;--line:#4a4d52;--head:#23262b;--link:#8ab4f8;--pane:#1d2024;--mark:#4d4422}}
*{box-sizing:border-box}
html,body{margin:0;padding:0;background:var(--bg);color:var(--fg)}
body{font:15px/1.45 system-ui,-apple-system,"Segoe UI",Roboto,"Noto Sans",sans-serif;display:grid;grid-template-columns:minmax(14em,22em) 1fr}
a{color:var(--link)}
nav.outline{position:sticky;top:0;height:100vh;overflow:auto;background:var(--pane);border-right:1px solid var(--line);padding:.8em .6em;font-size:14px}
.outline-head{font-weight:600;margin:0 0 .4em}
.switch{display:block;margin:0 0 .6em;color:var(--muted)}
nav ul{list-style:none;margin:0;padding-left:1.1em}
nav ul.tree{padding-left:0}
nav li{margin:.1em 0;white-space:nowrap}
nav li.collapsed>ul{display:none}
nav a{text-decoration:none}
nav a:hover,nav a:focus{text-decoration:underline}
nav li.hidden>a{color:var(--muted);font-style:italic}
.tag{font-size:11px;border:1px solid var(--line);border-radius:3px;padding:0 .3em;margin-left:.4em;color:var(--muted)}
button.tw{width:1.2em;padding:0;border:0;background:none;color:var(--muted);cursor:pointer;font:inherit}
button.tw::before{content:"\25BE"}
button.tw[aria-expanded="false"]::before{content:"\25B8"}
li.leaf{padding-left:1.2em}
main{padding:1em 2em 4em;min-width:0}
.part{scroll-margin-top:1em}
.part.target>*{outline:2px solid var(--mark);outline-offset:2px}
body:not(.show-hidden) .part.hidden{display:none}
.part.hidden{opacity:.7}
h1,h2,h3,h4,h5,h6{font-weight:600;margin:1.2em 0 .4em}
h1{font-size:1.6em}h2{font-size:1.35em}h3{font-size:1.15em}h4,h5,h6{font-size:1em}
pre{margin:.4em 0;white-space:pre-wrap;font:13px/1.4 ui-monospace,"DejaVu Sans Mono",monospace}
pre.log{color:var(--muted);border-left:3px solid var(--line);padding-left:.6em}
.page-title{font-weight:600;margin:.2em 0}
.footnote{margin:.1em 0;font-size:.9em}
.notice{color:#b3261e}
figure.chart{margin:.6em 0;padding:1.5em;border:1px dashed var(--line);max-width:40em;color:var(--muted);text-align:center}
.omf-table{margin:1em 0 1.6em;overflow-x:auto}
.controls{display:flex;flex-wrap:wrap;gap:.4em 1em;align-items:center;margin:.2em 0;font-size:13px}
.controls select,.controls button{font:inherit}
details.pivot summary{cursor:pointer;color:var(--link)}
details.pivot div{display:flex;flex-wrap:wrap;gap:.4em .8em;padding:.3em 0}
table{border-collapse:collapse;font-variant-numeric:tabular-nums;margin:.3em 0}
caption{text-align:left;font-weight:600;padding:.2em 0;caption-side:top}
caption .layer-name{display:block;font-weight:normal;color:var(--muted)}
th,td{border:1px solid var(--line);padding:3px 8px;vertical-align:top}
thead th,thead td{background:var(--head);font-weight:600;text-align:center;vertical-align:bottom}
thead th.stub{text-align:left}
tbody th{background:var(--head);font-weight:normal;text-align:left}
td.num{text-align:right;white-space:nowrap;position:relative;padding-right:1.9em}
td.num .fn{position:absolute;right:.3em;top:3px;font-size:.75em}
tfoot td{border:0;text-align:left;padding:.3em 0 0}
tfoot p{margin:.1em 0}
sup{line-height:0}
.js table.layer:not(.on){display:none}
@media print{
:root{color-scheme:light;--fg:#000;--bg:#fff;--muted:#444;--line:#888;--head:#eee;--link:#000}
.part.target>*{outline:0}
body{display:block;font-size:11pt}
nav.outline,.controls{display:none}
main{padding:0}
.part.procedure~.part.procedure{break-before:page}
.js table.layer:not(.on){display:table}
table{break-inside:auto}
thead{display:table-header-group}
body:not(.show-hidden) .part.hidden{display:none}
}
)css";

// The page's behaviour: the outline's collapsing and the hidden-parts switch, then each table's layer
// selectors and pivoting. A table's data block holds its dimensions (label, marks, whether the label is
// shown, whether the dimension is kept out of sight, its tree) and its cell texts in ordinal order: the
// first dimension varying slowest, each over its categories in display order. Redrawing a table lays it
// out exactly as the renderer does.
const char* const kHtmlScript = R"js(
(function(){
"use strict";
var doc=document;
doc.documentElement.className+=" js";
var page=JSON.parse(doc.getElementById("omf-page").textContent),words=page.words;
function esc(s){return String(s).replace(/[&<>"]/g,function(c){return c==="&"?"&amp;":c==="<"?"&lt;":c===">"?"&gt;":"&quot;";});}
function sup(m){return m?"<sup>"+esc(m)+"</sup>":"";}
function lab(x){return typeof x==="string"?esc(x):esc(x[0])+sup(x[1]);}
function labText(x){return typeof x==="string"?x:x[0];}

// The outline.
var hiddenSwitch=doc.getElementById("show-hidden");
function showHidden(on){doc.body.classList.toggle("show-hidden",on);hiddenSwitch.checked=on;}
hiddenSwitch.addEventListener("change",function(){showHidden(hiddenSwitch.checked);});
doc.querySelectorAll("nav button.tw").forEach(function(b){
  b.addEventListener("click",function(){
    var open=b.getAttribute("aria-expanded")!=="true";
    b.setAttribute("aria-expanded",open?"true":"false");
    b.parentNode.classList.toggle("collapsed",!open);
  });
});
var lastTarget=null;
doc.querySelectorAll("nav a").forEach(function(a){
  a.addEventListener("click",function(ev){
    var t=doc.getElementById(a.getAttribute("href").slice(1));
    if(!t)return;
    ev.preventDefault();
    if(t.classList.contains("hidden")&&!hiddenSwitch.checked)showHidden(true);
    if(lastTarget)lastTarget.classList.remove("target");
    t.classList.add("target");lastTarget=t;
    t.scrollIntoView({block:"start"});
    history.replaceState(null,"","#"+t.id);
  });
});

// Tables.
function Dim(d,i){
  this.index=i;this.d=d;this.leaves=[];this.paths=[];this.depth=0;
  var self=this,path=[];
  (function walk(list){
    for(var k=0;k<list.length;++k){
      var n=list[k];
      if(n!==null&&typeof n==="object"&&!Array.isArray(n)){path.push(n);walk(n.c);path.pop();}
      else{var p=path.concat([n]);self.leaves.push(n);self.paths.push(p);if(p.length>self.depth)self.depth=p.length;}
    }
  })(d.c);
  this.count=Math.max(this.leaves.length,1);
  this.shown=!!d.s&&this.depth>0;
}
function Axis(dims,labelLevels){
  this.dims=dims;this.inner=[];this.offset=[];this.labels=[];this.places=1;this.levels=0;
  for(var j=dims.length;j-->0;){this.inner[j]=this.places;this.places*=dims[j].count;}
  for(j=0;j<dims.length;++j){
    this.offset[j]=this.levels;
    this.labels[j]=labelLevels&&dims[j].shown?1:0;
    this.levels+=this.labels[j]+dims[j].depth;
  }
}
Axis.prototype.at=function(place,j){return Math.floor(place/this.inner[j])%this.dims[j].count;};
// Calls label(place,span,level,levels,node) for every category and group label, and dim(place,span,level,d)
// for every dimension label that takes a level of its own.
Axis.prototype.eachLabel=function(label,dim){
  for(var j=0;j<this.dims.length;++j){
    var D=this.dims[j],n=D.leaves.length,inner=this.inner[j],outer=this.places/(D.count*inner);
    var first=this.offset[j]+this.labels[j];
    for(var o=0;o<outer;++o){
      var base=o*D.count*inner;
      if(this.labels[j])dim(base,D.count*inner,this.offset[j],D);
      for(var t=0;t<D.depth;++t){
        for(var i=0;i<n;){
          var len=D.paths[i].length;
          if(t>=len){++i;continue;}
          var node=D.paths[i][Math.min(t,len-1)],k=i+1;
          while(k<n&&t<D.paths[k].length&&D.paths[k][Math.min(t,D.paths[k].length-1)]===node)++k;
          label(base+i*inner,(k-i)*inner,first+t,t+1===len?D.depth-t:1,node);
          i=k;
        }
      }
    }
  }
};

function Table(box){
  this.box=box;
  this.data=JSON.parse(box.querySelector("script.omf-data").textContent);
  var first=box.querySelector("table.layer");
  this.titleHtml=first.querySelector("caption .title").innerHTML;
  var foot=first.querySelector("tfoot td");
  this.footHtml=foot?foot.innerHTML:null;
  var d=this.data;
  this.dims=d.d.map(function(x,i){return new Dim(x,i);});
  this.stride=[];var s=1;
  for(var i=this.dims.length;i-->0;){this.stride[i]=s;s*=this.dims[i].count;}
  this.sent={r:d.r.slice(),c:d.c.slice(),y:d.y.slice()};
  this.arr={r:d.r.slice(),c:d.c.slice(),y:d.y.slice()};
  this.layer=0;
  this.controls=doc.createElement("div");
  this.controls.className="controls";
  box.insertBefore(this.controls,box.firstChild);
  this.layout();
  this.drawControls();
  // Rows the renderer left for the script: the same grids drawn here, from the first row it left out.
  this.pending=[];
  var self=this,left=box.querySelectorAll("table.layer[data-drawn]");
  if(left.length)afterLoad(function(){
    box.querySelectorAll("table.layer").forEach(function(t,y){
      if(!t.hasAttribute("data-drawn"))return;
      var g=self.grid(y);
      self.pending.push({layer:y,columns:Math.max(g.columns,1),rows:g.rows.slice(g.headerRows+Number(t.getAttribute("data-drawn")))});
    });
    self.fill();
  });
}
// Runs f once the page has opened, so that the rows drawn later do not hold up its opening.
function afterLoad(f){
  if(doc.readyState==="complete")setTimeout(f,0);
  else window.addEventListener("load",function(){setTimeout(f,0);});
}
Table.prototype.runs=0;
Table.prototype.layout=function(){
  var self=this;
  function dims(list){return list.map(function(i){return self.dims[i];});}
  this.rows=new Axis(dims(this.arr.r),false);
  this.cols=new Axis(dims(this.arr.c),true);
  this.layers=new Axis(dims(this.arr.y),false);
};
// One grid's rows of HTML.
Table.prototype.grid=function(layer){
  var R=this.rows,C=this.cols,L=this.layers,d=this.data,self=this;
  var corner=d.k!==null&&d.k!==undefined;
  var stub=R.dims.some(function(D){return D.shown;});
  var least=stub?(corner?2:1):(corner?1:0);
  var headerRows=Math.max(C.levels,least),extraRows=headerRows-C.levels;
  var extraColumns=corner&&R.levels===0?1:0;
  var headerColumns=R.levels+extraColumns;
  var rows=headerRows+R.places,columns=headerColumns+C.places;
  var blocks=[],cover=new Int32Array(rows*columns).fill(-1);
  function add(kind,r,c,rs,cs,html,blank){
    var b={k:kind,r:r,c:c,rs:rs,cs:cs,h:html,blank:blank};
    var id=blocks.length;blocks.push(b);
    for(var y=r;y<r+rs;++y)for(var x=c;x<c+cs;++x)cover[y*columns+x]=id;
  }
  var cornerRows=headerRows-(stub?1:0);
  if(cornerRows>0&&headerColumns>0)add("corner",0,0,cornerRows,headerColumns,corner?lab(d.k):"",!corner);
  if(stub)R.dims.forEach(function(D,j){
    if(D.depth===0)return;
    add("stub",headerRows-1,R.offset[j],1,D.depth,D.shown?lab(D.d.l):"",!D.shown);
  });
  for(var c=0;extraRows!==0&&c<C.places;++c)add("col",0,headerColumns+c,extraRows,1,"",true);
  for(var r=0;extraColumns!==0&&r<R.places;++r)add("row",headerRows+r,0,1,1,"",true);
  C.eachLabel(function(place,span,level,levels,node){
    add("col",extraRows+level,headerColumns+place,levels,span,nodeLabel(node),false);
  },function(place,span,level,D){
    add("dim",extraRows+level,headerColumns+place,1,span,lab(D.d.l),false);
  });
  R.eachLabel(function(place,span,level,levels,node){
    add("row",headerRows+place,level,span,levels,nodeLabel(node),false);
  },function(){});
  // The ordinal of a cell: the sum over the axes of each dimension's category times its stride.
  function ordinals(axis){
    var out=new Float64Array(axis.places);
    for(var p=0;p<axis.places;++p){
      var o=0;
      for(var j=0;j<axis.dims.length;++j)o+=axis.at(p,j)*self.stride[axis.dims[j].index];
      out[p]=o;
    }
    return out;
  }
  var ro=ordinals(R),co=ordinals(C),lo=ordinals(L)[layer];
  var out=[];
  for(r=0;r<rows;++r){
    var line="<tr>";
    for(c=0;c<columns;++c){
      if(r>=headerRows&&c>=headerColumns){line+=self.cell(lo+ro[r-headerRows]+co[c-headerColumns]);continue;}
      var b=blocks[cover[r*columns+c]];
      if(b.r!==r||b.c!==c)continue;
      line+=open(b)+b.h+(b.blank||b.k==="corner"?"</td>":"</th>");
    }
    out.push(line+"</tr>\n");
  }
  return {rows:out,headerRows:headerRows,columns:columns};
};
function nodeLabel(n){return n!==null&&typeof n==="object"&&!Array.isArray(n)?lab(n.g):lab(n);}
function spans(b){return (b.rs>1?" rowspan=\""+b.rs+"\"":"")+(b.cs>1?" colspan=\""+b.cs+"\"":"");}
function open(b){
  if(b.k==="corner")return "<td class=\"corner\""+spans(b)+">";
  if(b.blank)return "<td class=\"blank\""+spans(b)+">";
  if(b.k==="row")return "<th scope=\""+(b.rs>1?"rowgroup":"row")+"\""+spans(b)+">";
  if(b.k==="stub")return "<th scope=\"col\" class=\"stub\""+spans(b)+">";
  return "<th scope=\""+(b.cs>1?"colgroup":"col")+"\""+(b.k==="dim"?" class=\"dim\"":"")+spans(b)+">";
}
Table.prototype.cell=function(o){
  var d=this.data,text=d.v[o],f=d.f[o],num=d.n.charCodeAt(o)===49;
  if(text===undefined||text===null)text="";
  if(num)return "<td class=\"num\">"+esc(text)+(f?"<span class=\"fn\">"+esc(f[0])+sup(f[1])+"</span>":"")+"</td>";
  return "<td>"+esc(text)+(f?esc(f[0])+sup(f[1]):"")+"</td>";
};
// The category of each layer dimension in layer `index`, the last varying fastest.
Table.prototype.layerLine=function(index){
  var L=this.layers,out="";
  for(var j=0;j<L.dims.length;++j){
    var D=L.dims[j];
    if(D.d.h)continue;
    var leaf=D.leaves[L.at(index,j)],name=labText(D.d.l);
    out+="<span class=\"layer-name\">"+(name?lab(D.d.l)+":":esc(words["Layer:"]))+" "+(leaf===undefined?"":lab(leaf))+"</span>";
  }
  return out;
};
// Draws every layer's grid as the renderer does: the header rows and, within the places that a page
// holds as it opens, the first rows below them; the rest follow in batches.
Table.prototype.draw=function(){
  var html="",room=page.first;
  this.pending=[];
  for(var y=0;y<this.layers.places;++y){
    var g=this.grid(y),body=g.rows.length-g.headerRows,columns=Math.max(g.columns,1);
    var drawn=room>0?Math.min(body,Math.max(Math.floor(room/columns),1)):0;
    room=Math.max(room-drawn*columns,0);
    html+="<table class=\"layer"+(y===this.layer?" on":"")+"\""+(drawn<body?" data-drawn=\""+drawn+"\"":"")+">\n<caption><span class=\"title\">"+this.titleHtml+"</span>"+this.layerLine(y)+"</caption>\n";
    if(g.headerRows>0)html+="<thead>\n"+g.rows.slice(0,g.headerRows).join("")+"</thead>\n";
    if(body>0)html+="<tbody>\n"+g.rows.slice(g.headerRows,g.headerRows+drawn).join("")+"</tbody>\n";
    if(this.footHtml!==null)html+="<tfoot>\n<tr><td colspan=\""+g.columns+"\">"+this.footHtml+"</td></tr>\n</tfoot>\n";
    html+="</table>\n";
    if(drawn<body)this.pending.push({layer:y,columns:columns,rows:g.rows.slice(g.headerRows+drawn)});
  }
  this.box.querySelector(".layers").innerHTML=html;
  this.fill();
};
// Appends the rows not drawn yet, a batch at a time so that the page stays responsive; the layer on
// screen first. A redraw in the meantime drops what is left of the old arrangement.
Table.prototype.fill=function(all){
  var self=this,run=++this.runs,size=page.first;
  var tables=this.box.querySelectorAll("table.layer");
  this.pending.sort(function(a,b){return (b.layer===self.layer)-(a.layer===self.layer);});
  function batch(){
    if(run!==self.runs)return;
    // Batches grow, since each costs the browser a layout of the whole table so far.
    var room=size;
    size=Math.min(size*2,page.first*64);
    while(self.pending.length&&(all||room>0)){
      var p=self.pending[0],t=tables[p.layer];
      var n=all?p.rows.length:Math.max(1,Math.floor(room/p.columns));
      t.tBodies[0].insertAdjacentHTML("beforeend",p.rows.splice(0,n).join(""));
      room-=n*p.columns;
      if(!p.rows.length){t.removeAttribute("data-drawn");self.pending.shift();}
    }
    if(self.pending.length)setTimeout(batch,0);
  }
  if(all)batch();else if(this.pending.length)setTimeout(batch,0);
};
window.addEventListener("beforeprint",function(){
  tables.forEach(function(t){if(t.pending&&t.pending.length)t.fill(true);});
});
Table.prototype.showLayer=function(index){
  this.layer=index;
  this.box.querySelectorAll("table.layer").forEach(function(t,i){t.classList.toggle("on",i===index);});
};
Table.prototype.drawControls=function(){
  var self=this,L=this.layers,c=this.controls;
  c.innerHTML="";
  L.dims.forEach(function(D,j){
    if(D.d.h||D.leaves.length<2)return;
    var label=doc.createElement("label"),sel=doc.createElement("select");
    label.textContent=labText(D.d.l)||words["Layer:"];label.appendChild(doc.createTextNode(" "));
    sel.className="layer-select";
    D.leaves.forEach(function(leaf,i){var o=doc.createElement("option");o.value=i;o.textContent=labText(nodeText(leaf));sel.appendChild(o);});
    sel.value=String(L.at(self.layer,j));
    sel.addEventListener("change",function(){
      var index=0;
      c.querySelectorAll("select.layer-select").forEach(function(s){index+=Number(s.value)*L.inner[Number(s.dataset.j)];});
      self.showLayer(index);
    });
    sel.dataset.j=j;
    label.appendChild(sel);c.appendChild(label);
  });
  var pivot=doc.createElement("details");pivot.className="pivot";
  var summary=doc.createElement("summary");summary.textContent=words["Pivot this table"];pivot.appendChild(summary);
  var body=doc.createElement("div");pivot.appendChild(body);
  this.dims.forEach(function(D,i){
    if(D.d.h)return;
    var label=doc.createElement("label"),sel=doc.createElement("select");
    label.textContent=(labText(D.d.l)||"#"+(i+1))+" ";
    sel.className="pivot-select";sel.dataset.dim=i;
    [["r","In rows"],["c","In columns"],["y","In layers"]].forEach(function(a){
      var o=doc.createElement("option");o.value=a[0];o.textContent=words[a[1]];sel.appendChild(o);
      if(self.arr[a[0]].indexOf(i)>=0)sel.value=a[0];
    });
    sel.addEventListener("change",function(){self.move(i,sel.value);});
    label.appendChild(sel);body.appendChild(label);
  });
  [["swap","Swap rows and columns"],["reset","Reset the table"]].forEach(function(a){
    var b=doc.createElement("button");b.type="button";b.className=a[0];b.textContent=words[a[1]];
    b.addEventListener("click",function(){if(a[0]==="swap")self.swap();else self.reset();});
    body.appendChild(b);
  });
  c.appendChild(pivot);
  if(this.pivotOpen)pivot.open=true;
  pivot.addEventListener("toggle",function(){self.pivotOpen=pivot.open;});
};
function nodeText(n){return n!==null&&typeof n==="object"&&!Array.isArray(n)?n.g:n;}
Table.prototype.redraw=function(){this.layout();this.layer=0;this.draw();this.drawControls();};
Table.prototype.move=function(dim,to){
  var a=this.arr;
  ["r","c","y"].forEach(function(k){a[k]=a[k].filter(function(x){return x!==dim;});});
  a[to].push(dim);
  this.redraw();
};
Table.prototype.swap=function(){var a=this.arr,t=a.r;a.r=a.c;a.c=t;this.redraw();};
Table.prototype.reset=function(){var s=this.sent;this.arr={r:s.r.slice(),c:s.c.slice(),y:s.y.slice()};this.redraw();};

var tables=[];
doc.querySelectorAll(".omf-table").forEach(function(box){
  // A table whose data the page cannot take (groups nested deeper than the script's stack) stays as
  // drawn, without layer selectors or pivoting.
  if(box.querySelector("script.omf-data"))try{box.omfTable=new Table(box);tables.push(box.omfTable);}catch(e){}
});
})();
)js";

} // namespace render

} // namespace omf
