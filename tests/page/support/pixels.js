'use strict';
// Reads the colours of a one-pixel-high strip of the page from a PNG screenshot, so a test can
// check what is painted where (the edges, which take no pointer events, cannot be hit-tested).

const zlib = require('node:zlib');

function decodeRow(png) {
  let pos = 8;
  let width = 0;
  let colourType = 0;
  const idat = [];
  while (pos < png.length) {
    const len = png.readUInt32BE(pos);
    const type = png.toString('latin1', pos + 4, pos + 8);
    const data = png.subarray(pos + 8, pos + 8 + len);
    if (type === 'IHDR') {
      width = data.readUInt32BE(0);
      if (data.readUInt32BE(4) !== 1 || data[8] !== 8) throw new Error('expected one 8-bit row');
      colourType = data[9];
    } else if (type === 'IDAT') {
      idat.push(data);
    }
    pos += 12 + len;
  }
  const bpp = colourType === 6 ? 4 : colourType === 2 ? 3 : 0;
  if (!bpp) throw new Error('unexpected PNG colour type ' + colourType);
  const raw = zlib.inflateSync(Buffer.concat(idat));
  const filter = raw[0];
  const row = Buffer.from(raw.subarray(1, 1 + width * bpp));
  // With no row above, "up" adds nothing and "average"/"paeth" reduce to the left neighbour.
  for (let i = 0; i < row.length; i++) {
    const left = i >= bpp ? row[i - bpp] : 0;
    if (filter === 1 || filter === 4) row[i] = (row[i] + left) & 0xff;
    else if (filter === 3) row[i] = (row[i] + (left >> 1)) & 0xff;
  }
  const px = [];
  for (let i = 0; i < width; i++) px.push([row[i * bpp], row[i * bpp + 1], row[i * bpp + 2]]);
  return px;
}

// [r, g, b] of every pixel from (x, y) to (x + width - 1, y), in viewport coordinates.
async function strip(page, x, y, width) {
  const png = await page.screenshot({ clip: { x, y, width, height: 1 }, animations: 'disabled' });
  return decodeRow(png);
}

module.exports = { strip };
