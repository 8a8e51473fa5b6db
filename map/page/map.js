// The map page: the route of the recording group, the current recording split into the part
// travelled and the part ahead of the position marker, and a marker per event. The host drives
// it with script calls on `cplist` and `orbitgrplist`, and answers its questions through the
// object "sample" on the web channel. Nothing is drawn before the map library has loaded, and
// the library is loaded only while the host reports a connection.

var g_lastJpgNum = -1;
var g_isStartInitConnect = false;
var g_isInitConnect = false;
var g_isInit = false;
var g_map = null;
var g_script = null;
var g_marker = null;
var g_newlat = 0;
var g_newlng = 0;
var g_tiles = null;
var sample = null;  // the host
var g_connected = false;  // the host's last answer to JS2C_ConnectTest
var g_iconurl = [183, 183, 183, 183, 183, 185, 182, 216, 221, 329, 330, 184, 180, 181].map(
    function (n) { return "qrc:/skin/" + n + ".png"; });

window.onerror = function () { return true; };  // script errors are swallowed

function PointList() {
  this.points = [];
  this.JpgNumList = [];
}

function OrbitGrp(start, end) {
  this.start = start;
  this.end = end;
}

// The split of a point list at jumps of more than 0.001385 degrees (longitude scaled by the
// cosine of the latitude): runs of points, both ends inclusive.
function GetOrbitGroupOf(points) {
  var runs = [];
  if (points.length === 0) {
    return runs;
  }
  var start = 0;
  for (var i = 1; i < points.length; ++i) {
    var p = points[i - 1], q = points[i];
    var dlat = q[0] - p[0];
    var dlng = (q[1] - p[1]) * Math.cos(q[0] * Math.PI / 180);
    if (Math.sqrt(dlat * dlat + dlng * dlng) > 0.001385) {
      runs.push(new OrbitGrp(start, i - 1));
      start = i;
    }
  }
  runs.push(new OrbitGrp(start, points.length - 1));
  return runs;
}

// The point the marker stands on for position index `n`: the last point passed, the first
// before the track starts.
function IndexFor(list, n) {
  var i = 0;
  while (i < list.JpgNumList.length && list.JpgNumList[i] < n) {
    ++i;
  }
  if (i > 0) {
    --i;
  }
  return Math.min(i, Math.max(list.JpgNumList.length - 1, 0));
}

function GetPoints(array, into) {
  if (!g_isInitConnect || !array || array.length <= 1) {
    return;
  }
  for (var i = 0; i < array.length - 1; i += 3) {
    into.points.push([array[i], array[i + 1]]);
    into.JpgNumList.push(array[i + 2]);
  }
}

function Line(list, start, end, colour, opacity, pane) {
  var slice = list.points.slice(start, end);
  if (slice.length === 0 || !g_map) {
    return null;
  }
  return L.polyline(slice, {color: colour, opacity: opacity, weight: 3, interactive: false,
                            pane: pane}).addTo(g_map);
}

function OrbitGrpList() {
  this.orbitlist = [];
  this.grpline = [];
  this.histline = [];
  this.schline = [];
  this.grplist = new PointList();
  this.gridlist = new PointList();
}

OrbitGrpList.prototype.GetOrbitGroup = function (points) {
  var runs = GetOrbitGroupOf(points);
  if (runs.length > 0) {
    this.orbitlist = runs;
  }
};

function RemoveLines(lines) {
  lines.forEach(function (l) { if (l) { l.remove(); } });
  lines.length = 0;
}

OrbitGrpList.prototype.RemoveLineList = function () {
  RemoveLines(this.histline);
  RemoveLines(this.schline);
};

OrbitGrpList.prototype.CreateLine = function () {
  g_lastJpgNum = -1;
  this.grplist = new PointList();
  if (!g_isStartInitConnect || !sample) {
    return;
  }
  var self = this;
  sample.JS2C_GetGPSData(function (array) {
    self.grplist = new PointList();
    GetPoints(array, self.grplist);
    self.GetOrbitGroup(self.grplist.points);
    RemoveLines(self.grpline);
    self.orbitlist.forEach(function (run) {
      self.grpline.push(Line(self.grplist, run.start, run.end + 1, "#FF0000", 0.5, "grp"));
    });
  });
};

OrbitGrpList.prototype.CreateGridLine = function (n) {
  g_lastJpgNum = -1;
  this.gridlist = new PointList();
  if (!g_isStartInitConnect || !sample) {
    return;
  }
  var self = this;
  sample.JS2C_GetGridData("0", function (array) {
    self.gridlist = new PointList();
    GetPoints(array, self.gridlist);
    self.gridruns = GetOrbitGroupOf(self.gridlist.points);
    self.MoveMarker();
  });
};

OrbitGrpList.prototype.DrawAt = function (index) {
  var self = this;
  this.RemoveLineList();
  (this.gridruns || []).forEach(function (run) {
    if (run.end <= index) {
      self.histline.push(Line(self.gridlist, run.start, run.end + 1, "#0000FF", 1.0, "hist"));
    } else if (run.start < index) {
      self.histline.push(Line(self.gridlist, run.start, index + 1, "#0000FF", 1.0, "hist"));
      self.schline.push(Line(self.gridlist, index, run.end + 1, "#FF0000", 0.9, "hist"));
    } else {
      self.schline.push(Line(self.gridlist, run.start, run.end + 1, "#FF0000", 0.9, "hist"));
    }
  });
  var at = index >= 0 && index < this.gridlist.points.length ? this.gridlist.points[index]
                                                              : [g_newlat, g_newlng];
  g_map.panTo(at);
  if (g_marker) {
    g_marker.remove();
  }
  g_marker = L.marker(at, {interactive: false, pane: "position"}).addTo(g_map);
};

OrbitGrpList.prototype.MoveMarker = function () {
  if (!g_isInitConnect || !sample) {
    return;
  }
  var self = this;
  sample.JS2C_GetRelJpgNum(function (text) {
    if (text === "-1") {
      return;
    }
    var n = parseInt(text, 10);
    g_lastJpgNum = n;
    self.DrawAt(IndexFor(self.gridlist, n));
  });
};

function CrashPoint(a) {
  this.marker = null;
  this.lat = a.lat;
  this.lng = a.lng;
  this.valid = a.valid;
  this.speed = a.speed;
  this.direction = a.direction;
  this.levelx = a.levelx;
  this.levely = a.levely;
  this.levelz = a.levelz;
  this.ifile = a.ifile;
  this.igrid = a.igrid;
  this.ipos = a.ipos;
}

function CpList() {
  this.markers = [];
}

CpList.prototype.AddCrashPos = function (icolor, levelx, levely, levelz, ifile, igrid, ipos,
                                         lat, lng, valid, speed, direction) {
  if (!g_isInitConnect) {
    return;
  }
  var self = this;
  var point = new CrashPoint({lat: lat, lng: lng, valid: valid, speed: speed,
                              direction: direction, levelx: levelx, levely: levely,
                              levelz: levelz, ifile: ifile, igrid: igrid, ipos: ipos});
  var icon = L.icon({iconUrl: g_iconurl[icolor], iconSize: [32, 32], iconAnchor: [16, 32],
                     shadowUrl: "qrc:/skin/186.png", shadowSize: [49, 32],
                     shadowAnchor: [16, 32]});
  point.marker = L.marker([lat, lng], {icon: icon, pane: "events"}).addTo(g_map);
  point.kind = icolor;
  point.marker.on("click", function () {
    self.SetCrashPos(self.markers.indexOf(point));
  });
  this.markers.push(point);
};

CpList.prototype.SetCrashPos = function (i) {
  var p = this.markers[i];
  if (!p) {
    return;
  }
  sample.JS2C_OnClickCrashPoint(p.ifile, p.igrid, p.ipos, p.valid, p.lat, p.lng, p.speed,
                                p.direction);
  if (p.lat >= 0 && p.lng >= 0) {
    ConnectTest(function (ok) {
      if (ok) {
        orbitgrplist.MoveMarker();
      }
    });
  }
};

CpList.prototype.ClearCrashPos = function () {
  this.markers.forEach(function (p) { if (p.marker) { p.marker.remove(); } });
  this.markers = [];
};

var orbitgrplist = new OrbitGrpList();
var cplist = new CpList();

// Whether the map is ready; while connected and not yet loading, the library is inserted.
function ConnectTest(done) {
  sample.JS2C_ConnectTest(function (connected) {
    g_connected = connected !== 0 && connected !== false;
    if (g_connected) {
      if (!g_isInitConnect && !g_isStartInitConnect) {
        if (g_script) {
          g_script.remove();
        }
        sample.JS2C_GetMapURL(function (url) {
          g_script = document.createElement("script");
          g_script.src = url;
          g_script.onload = loadLibs;
          document.head.appendChild(g_script);
        });
        g_isStartInitConnect = true;
      }
      done(g_isInitConnect);
    } else {
      g_isInitConnect = false;
      g_isStartInitConnect = false;
      done(false);
    }
  });
}

function DropMap() {
  g_isInit = false;
  if (g_map) {
    g_map.remove();
    g_map = null;
  }
  g_marker = null;
  orbitgrplist = new OrbitGrpList();
  cplist = new CpList();
  if (g_script) {
    g_script.remove();
    g_script = null;
  }
}

function show() {
  var lat = parseFloat(document.getElementById("map_lat").value) || 0;
  var lng = parseFloat(document.getElementById("map_lng").value) || 0;
  g_newlat = lat;
  g_newlng = lng;
  var next = function () {
    sample.JS2C_SetSend();
    setTimeout(show, 1000);
  };
  if (lat < 1000.0 && lng < 1000.0) {
    ConnectTest(function (ok) {
      if (ok) {
        var status = document.getElementById("map_status").value.toLowerCase();
        if (status !== "pause" && status !== "stop" &&
            ((lat !== 0 && lng !== 0) || g_lastJpgNum === -1)) {
          orbitgrplist.MoveMarker();
        }
      } else if (!g_isStartInitConnect) {
        DropMap();
      }
      next();
    });
    return;
  }
  if (!g_isInit) {
    g_isInit = true;
    ConnectTest(function () { next(); });
    return;
  }
  next();
}

function loadLibs() {
  sample.JS2C_GetTileInfo(function (info) {
    g_map = L.map("map_canvas", {zoomControl: true}).setView([0.0, 0.0], 16);
    g_map.createPane("grp").style.zIndex = 410;
    g_map.createPane("hist").style.zIndex = 420;
    g_map.createPane("events").style.zIndex = 620;
    g_map.createPane("position").style.zIndex = 630;
    L.Icon.Default.imagePath = "qrc:/map/images/";
    g_tiles = L.tileLayer(info.url, {attribution: info.attribution, maxZoom: 19}).addTo(g_map);
    L.control.scale().addTo(g_map);
    g_marker = L.marker([0.0, 0.0], {interactive: false, pane: "position"}).addTo(g_map);
    g_isInitConnect = true;
    sample.JS2C_OnInitHtml();
  });
}

// What the page shows, for the host's tests.
function PageState() {
  var lines = function (list) {
    return list.filter(function (l) { return l; }).map(function (l) {
      return {colour: l.options.color, points: l.getLatLngs().length};
    });
  };
  return {
    ready: g_isInitConnect,
    loading: g_isStartInitConnect,
    group: lines(orbitgrplist.grpline),
    travelled: lines(orbitgrplist.histline),
    ahead: lines(orbitgrplist.schline),
    markers: cplist.markers.map(function (p) { return {kind: p.kind, lat: p.lat, lng: p.lng}; }),
    position: g_marker ? [g_marker.getLatLng().lat, g_marker.getLatLng().lng] : null,
    lastJpgNum: g_lastJpgNum
  };
}

window.addEventListener("load", function () {
  g_lastJpgNum = -1;
  new QWebChannel(qt.webChannelTransport, function (channel) {
    sample = channel.objects.sample;
    sample.webMessage.connect(function (text) {
      var m = JSON.parse(text);
      if (m.val_command === "update") {
        document.getElementById("map_lat").value = m.map_lat;
        document.getElementById("map_lng").value = m.map_lng;
        document.getElementById("map_status").value = m.map_status;
      }
    });
    show();
  });
});
