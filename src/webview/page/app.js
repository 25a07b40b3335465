// The owner's view: reads /api/... from the program that serves this page and shows it. Nothing
// here writes; every text from the books goes in as text, never as markup.
'use strict';

(function () {
  const SVG = 'http://www.w3.org/2000/svg';
  const POLLS = {
    salon: 1000,
    hoy: 5000,
    dias: 30000,
    registro: 30000,
  };
  let diasVistos = 7;
  // The last failure of each poll: the state line shows the worst one.
  const fallas = {};

  function el(tag, className, text) {
    const e = document.createElement(tag);
    if (className) e.className = className;
    if (text !== undefined && text !== null) e.textContent = String(text);
    return e;
  }

  function vaciar(node) {
    while (node.firstChild) node.removeChild(node.firstChild);
  }

  function dinero(m) {
    return m ? '$ ' + m.texto : '—';
  }

  function hora(iso) {
    return iso ? iso.substring(11, 16) : '';
  }

  function fechaCorta(iso) {
    // "2026-12-05" → "05/12"
    return iso ? iso.substring(8, 10) + '/' + iso.substring(5, 7) : '';
  }

  function diaYHora(iso) {
    return iso ? fechaCorta(iso.substring(0, 10)) + ' ' + hora(iso) : '';
  }

  // A failed request: what the state line says of it.
  class Falla extends Error {
    constructor(tipo, texto) {
      super(texto);
      this.tipo = tipo;
    }
  }

  async function leer(url) {
    let respuesta;
    try {
      respuesta = await fetch(url, { cache: 'no-store', credentials: 'same-origin' });
    } catch (e) {
      throw new Falla('red', 'Sin conexión con el programa');
    }
    if (respuesta.status === 401) {
      throw new Falla('emparejar', 'Dispositivo no emparejado');
    }
    let cuerpo = null;
    try {
      cuerpo = await respuesta.json();
    } catch (e) {
      cuerpo = null;
    }
    if (!respuesta.ok) {
      const dice = cuerpo && cuerpo.error ? cuerpo.error : 'Respuesta ' + respuesta.status + ' del programa.';
      throw new Falla(respuesta.status === 503 ? 'libros' : respuesta.status === 429 ? 'limite' : 'error', dice);
    }
    if (!cuerpo) throw new Falla('error', 'El programa respondió algo que no se puede leer.');
    return cuerpo;
  }

  // The state line ------------------------------------------------------------------------

  let ultimaLectura = null;

  function mostrarEstado() {
    const estado = document.getElementById('estado');
    const orden = ['emparejar', 'red', 'libros', 'limite', 'error'];
    let peor = null;
    for (const nombre of Object.keys(fallas)) {
      const f = fallas[nombre];
      if (f && (!peor || orden.indexOf(f.tipo) < orden.indexOf(peor.tipo))) peor = f;
    }
    vaciar(estado);
    estado.className = 'estado' + (peor ? ' falla' : ' bien');
    if (!peor) {
      estado.textContent = ultimaLectura ? 'Actualizado a las ' + ultimaLectura : 'Conectando con el programa…';
      return;
    }
    if (peor.tipo === 'emparejar') {
      estado.appendChild(document.createTextNode('Dispositivo no emparejado. '));
      const enlace = el('a', null, 'Emparejar este dispositivo');
      enlace.href = '/';
      estado.appendChild(enlace);
    } else if (peor.tipo === 'red') {
      estado.textContent = 'Sin conexión con el programa; se reintenta.';
    } else {
      estado.textContent = peor.message;
    }
    if (ultimaLectura) estado.appendChild(el('span', 'viejo', ' Datos de las ' + ultimaLectura + '.'));
  }

  // The room --------------------------------------------------------------------------------

  function tarjetaPuesto(p) {
    const t = el('article', 'puesto');
    t.id = 'puesto-' + p.numero;
    const cabeza = el('div', 'cabeza');
    cabeza.appendChild(el('span', 'nombre'));
    cabeza.appendChild(el('span', 'marca'));
    t.appendChild(cabeza);
    t.appendChild(el('div', 'tiempo'));
    t.appendChild(el('div', 'importe'));
    const pie = el('div', 'datos');
    pie.appendChild(el('span', 'modo'));
    pie.appendChild(el('span', 'operador'));
    t.appendChild(pie);
    return t;
  }

  function pintarPuesto(t, p) {
    t.querySelector('.nombre').textContent = p.nombre;
    let marca = 'Libre';
    if (p.abierto) marca = p.terminado ? 'Terminado' : p.pausado ? 'En pausa' : 'En curso';
    t.querySelector('.marca').textContent = marca;
    t.querySelector('.tiempo').textContent = p.abierto ? p.tiempo : '—';
    t.querySelector('.importe').textContent = p.abierto ? '$ ' + p.texto : '';
    t.querySelector('.modo').textContent =
      p.abierto ? p.modo + (p.restante ? ', tiempo restante' : '') + ' · desde ' + hora(p.apertura) : p.tipo;
    t.querySelector('.operador').textContent = p.abierto ? p.operador : '';
    t.className = 'puesto' + (p.abierto ? ' abierto' : ' libre') + (p.pausado ? ' pausado' : '') +
      (p.terminado ? ' terminado' : '');
    t.title = p.nombre + ' (' + p.tipo + ')';
  }

  function mostrarSalon(d) {
    const salon = document.getElementById('salon');
    const vistos = new Set();
    for (const p of d.puestos) {
      const id = 'puesto-' + p.numero;
      vistos.add(id);
      let t = document.getElementById(id);
      if (!t) t = tarjetaPuesto(p);
      pintarPuesto(t, p);
      salon.appendChild(t); // keeps the room's order
    }
    for (const t of Array.from(salon.children)) {
      if (!vistos.has(t.id)) salon.removeChild(t);
    }
    document.getElementById('salon-resumen').textContent =
      d.abiertos === 1 ? '1 puesto en curso, $ ' + d.texto + ' hasta ahora.'
        : d.abiertos + ' puestos en curso' + (d.abiertos ? ', $ ' + d.texto + ' hasta ahora.' : '.');
  }

  // Today -----------------------------------------------------------------------------------

  function tabla(id, cabeceras, filas) {
    const t = document.getElementById(id);
    vaciar(t);
    const cabeza = el('tr');
    cabeceras.forEach(function (c, i) { cabeza.appendChild(el('th', i ? 'num' : null, c)); });
    const thead = el('thead');
    thead.appendChild(cabeza);
    t.appendChild(thead);
    const cuerpo = el('tbody');
    for (const f of filas) {
      const tr = el('tr');
      f.forEach(function (c, i) { tr.appendChild(el('td', i ? 'num' : null, c)); });
      cuerpo.appendChild(tr);
    }
    if (!filas.length) {
      const tr = el('tr');
      const td = el('td', 'vacio', 'Nada todavía.');
      td.colSpan = cabeceras.length;
      tr.appendChild(td);
      cuerpo.appendChild(tr);
    }
    t.appendChild(cuerpo);
  }

  function turno(t) {
    const caja = el('article', 'turno' + (t.estado === 'Abierto' ? ' abierto' : ''));
    const titulo = 'Turno ' + t.numero + ' · ' + t.operador;
    caja.appendChild(el('h3', null, titulo));
    const desde = 'Desde ' + diaYHora(t.apertura) + (t.cierre ? ' hasta ' + diaYHora(t.cierre) : '');
    caja.appendChild(el('p', 'resumen', desde + ' · ' + t.estado));
    const dl = el('dl');
    const par = function (k, v, clase) {
      dl.appendChild(el('dt', null, k));
      dl.appendChild(el('dd', clase || null, v));
    };
    par('Fondo', dinero(t.fondo));
    par('Ventas', dinero(t.ventas));
    if (t.ingresos.importe) par('Ingresos', dinero(t.ingresos));
    if (t.retiros.importe) par('Retiros', dinero(t.retiros));
    if (t.gastos.importe) par('Gastos', dinero(t.gastos));
    par(t.estado === 'Abierto' ? 'Debería haber' : 'Esperado', dinero(t.esperado));
    if (t.contado) par('Contado', dinero(t.contado));
    if (t.diferencia) {
      const d = t.diferencia.importe;
      par('Diferencia', dinero(t.diferencia) + (d > 0 ? ' (sobra)' : d < 0 ? ' (falta)' : ''),
        d < 0 ? 'falta' : d > 0 ? 'sobra' : null);
    }
    caja.appendChild(dl);
    if (t.nota) caja.appendChild(el('p', 'nota', 'Nota: ' + t.nota));
    return caja;
  }

  function mostrarHoy(d) {
    document.getElementById('hoy-total').textContent = dinero(d.total);
    document.getElementById('hoy-detalle').textContent =
      (d.alquileres === 1 ? '1 alquiler' : d.alquileres + ' alquileres') + ' desde las 00:00 hasta las ' +
      hora(d.hasta) + ', como lo da el cierre de caja.';
    tabla('por-puesto', ['Puesto', 'Alquileres', 'Importe'],
      d.porPuesto.filter(function (p) { return p.importe || p.alquileres; })
        .map(function (p) { return [p.nombre, p.alquileres, '$ ' + p.texto]; }));
    tabla('por-operador', ['Operador', 'Alquileres', 'Importe'],
      d.porOperador.map(function (o) { return [o.operador, o.alquileres, '$ ' + o.texto]; }));
    const turnos = document.getElementById('turnos');
    vaciar(turnos);
    if (!d.turnos.length) turnos.appendChild(el('p', 'vacio', 'Ningún turno hoy.'));
    for (const t of d.turnos.slice().reverse()) turnos.appendChild(turno(t));
  }

  // The days' chart -------------------------------------------------------------------------

  function svg(tag, atributos, texto) {
    const e = document.createElementNS(SVG, tag);
    for (const k of Object.keys(atributos)) e.setAttribute(k, String(atributos[k]));
    if (texto !== undefined) e.textContent = texto;
    return e;
  }

  // A round step for the scale's lines: 1, 2 or 5 times a power of ten, in cents.
  function paso(maximo) {
    const bruto = Math.max(maximo / 4, 100);
    const potencia = Math.pow(10, Math.floor(Math.log10(bruto)));
    for (const m of [1, 2, 5, 10]) {
      if (m * potencia >= bruto) return m * potencia;
    }
    return 10 * potencia;
  }

  function pesos(cents) {
    const p = cents / 100;
    return p >= 1000 ? (p / 1000).toLocaleString('es', { maximumFractionDigits: 1 }) + ' mil' : String(Math.round(p));
  }

  function mostrarDias(d) {
    const caja = document.getElementById('grafico');
    vaciar(caja);
    const ancho = 480;
    const alto = 260;
    const izq = 46;
    const der = 16;
    const abajo = 28;
    const arriba = 10;
    const n = d.dias.length;
    const tope = Math.max(d.maximo.importe, 100);
    const unPaso = paso(tope);
    const escala = Math.ceil(tope / unPaso) * unPaso;
    const g = svg('svg', {
      viewBox: '0 0 ' + ancho + ' ' + alto, role: 'img', class: 'barras',
      'aria-label': 'Recaudación de los últimos ' + n + ' días',
    });
    g.appendChild(svg('title', {}, 'Recaudación de los últimos ' + n + ' días'));
    const y = function (cents) { return arriba + (alto - arriba - abajo) * (1 - cents / escala); };
    for (let v = 0; v <= escala; v += unPaso) {
      g.appendChild(svg('line', { x1: izq, x2: ancho - der, y1: y(v), y2: y(v), class: 'linea' }));
      g.appendChild(svg('text', { x: izq - 6, y: y(v) + 4, class: 'eje', 'text-anchor': 'end' }, pesos(v)));
    }
    const hueco = (ancho - izq - der) / n;
    const barra = Math.max(hueco * 0.7, 2);
    const cadaCuanto = n > 10 ? Math.ceil(n / 6) : 1;
    d.dias.forEach(function (dia, i) {
      const x = izq + i * hueco + (hueco - barra) / 2;
      const top = y(dia.importe);
      const r = svg('rect', {
        x: x, y: top, width: barra, height: Math.max(y(0) - top, 0),
        class: 'barra' + (i === n - 1 ? ' hoy' : ''), 'data-fecha': dia.fecha,
      });
      r.appendChild(svg('title', {}, fechaCorta(dia.fecha) + ': $ ' + dia.texto));
      g.appendChild(r);
      if ((n - 1 - i) % cadaCuanto === 0) {
        g.appendChild(svg('text', { x: x + barra / 2, y: alto - 8, class: 'eje', 'text-anchor': 'middle' },
          fechaCorta(dia.fecha)));
      }
    });
    caja.appendChild(g);
    document.getElementById('dias-total').textContent =
      'Total de los ' + n + ' días: $ ' + d.total.texto + ' · el mejor día: $ ' + d.maximo.texto + '.';
  }

  // The journal -----------------------------------------------------------------------------

  function mostrarRegistro(d) {
    const caja = document.getElementById('registro');
    vaciar(caja);
    const bien = d.verifica;
    const linea = el('p', 'veredicto ' + (bien ? 'bien' : 'mal'));
    if (!d.verificado) {
      linea.className = 'veredicto';
      linea.textContent = 'Todavía no se verificó.';
    } else {
      linea.textContent = bien ? 'El registro verifica: la cadena está entera y los libros coinciden.'
        : 'El registro NO verifica. ' + (d.problema || '');
    }
    caja.appendChild(linea);
    const dl = el('dl');
    const par = function (k, v, clase) {
      dl.appendChild(el('dt', null, k));
      dl.appendChild(el('dd', clase || null, v));
    };
    par('Entradas', d.entradas);
    par('Último hash', d.ultimoHash || '—', 'hash');
    if (d.verificado) par('Verificado', diaYHora(d.verificado));
    caja.appendChild(dl);
    if (d.diferencias && d.diferencias.length) {
      const ul = el('ul', 'diferencias');
      for (const t of d.diferencias) ul.appendChild(el('li', null, t));
      if (d.masDiferencias) ul.appendChild(el('li', null, 'y ' + d.masDiferencias + ' más.'));
      caja.appendChild(ul);
    }
  }

  // Polling ---------------------------------------------------------------------------------

  // Each poll waits for its answer before the next, so a slow program never piles requests up.
  function sondear(nombre, url, mostrar) {
    const vuelta = async function () {
      try {
        const datos = await leer(typeof url === 'function' ? url() : url);
        mostrar(datos);
        fallas[nombre] = null;
        ultimaLectura = new Date().toLocaleTimeString('es', { hour12: false });
      } catch (e) {
        fallas[nombre] = e instanceof Falla ? e : new Falla('error', 'Error al mostrar los datos: ' + e.message);
      }
      mostrarEstado();
      // Unpaired or told to slow down: ask far less often (a wrong token is throttled).
      const f = fallas[nombre];
      const espera = f && (f.tipo === 'emparejar' || f.tipo === 'limite') ? Math.max(POLLS[nombre], 10000)
        : POLLS[nombre];
      temporizadores[nombre] = setTimeout(vuelta, espera);
    };
    return vuelta;
  }

  const temporizadores = {};
  const vueltas = {};

  function elegirDias(n) {
    diasVistos = n;
    for (const b of document.querySelectorAll('.selector button')) {
      b.setAttribute('aria-pressed', String(Number(b.dataset.dias) === n));
    }
    clearTimeout(temporizadores.dias);
    vueltas.dias();
  }

  function empezar() {
    vueltas.salon = sondear('salon', '/api/salon', mostrarSalon);
    vueltas.hoy = sondear('hoy', '/api/hoy', mostrarHoy);
    vueltas.dias = sondear('dias', function () { return '/api/dias?n=' + diasVistos; }, mostrarDias);
    vueltas.registro = sondear('registro', '/api/registro', mostrarRegistro);
    for (const b of document.querySelectorAll('.selector button')) {
      b.addEventListener('click', function () { elegirDias(Number(b.dataset.dias)); });
    }
    for (const nombre of Object.keys(vueltas)) vueltas[nombre]();
  }

  if (document.readyState === 'loading') {
    document.addEventListener('DOMContentLoaded', empezar);
  } else {
    empezar();
  }
})();
