create procedure p @a varchar(50), @b int = 3 as
set nocount on
declare @q varchar(100)
set @q = 'select top ' + @a + ' x, IDENTITY(int, 0, 1) as n into #t from t order by x'
exec(@q)
if @b > 1 begin return 1 end else while @b < 3 set @b = @b + 1