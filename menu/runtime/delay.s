; SPDX-License-Identifier: GPL-3.0-or-later
;; DelayMs(ms): busy-waits about ms milliseconds at the console's normal
;; speed (1048576 machine cycles a second). ms arrives in DE.

	.module delay
	.area	_CODE

_DelayMs::
1$:
	ld	a, d
	or	e
	ret	z
	;; 7 machine cycles a turn: 149 turns and the outer loop's 12 make
	;; about 1054 cycles, within half a percent of one millisecond.
	ld	bc, #149
2$:
	dec	bc
	ld	a, b
	or	c
	jr	nz, 2$
	dec	de
	jr	1$
